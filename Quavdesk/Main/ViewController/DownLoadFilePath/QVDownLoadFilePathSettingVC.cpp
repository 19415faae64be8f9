#include "Main/ViewController/DownLoadFilePath/QVDownLoadFilePathSettingVC.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "Categories/RVColor.h"
#include "PublicManager/QVPageRegistry.h"
#include "PublicManager/QVPublicTools.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPointer>

QV_REGISTER_PAGE(QVDownLoadFilePathSettingVC)

namespace {

QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

QVDownLoadFilePathSettingVC::FolderChooser &currentChooser()
{
    static QVDownLoadFilePathSettingVC::FolderChooser chooser = QVDownLoadFilePathSettingVC::desktopFolderChooser();
    return chooser;
}

void styleLabel(QLabel *label, int pixelSize, bool bold, const QColor &color)
{
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace

QVDownLoadFilePathSettingVC::FolderChooser QVDownLoadFilePathSettingVC::desktopFolderChooser()
{
    return [](QWidget *page, const QString &title, std::function<void(const QUrl &)> done) {
        auto *dialog = new QFileDialog(page, title);
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly, true);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, done](int result) {
            const QList<QUrl> urls = dialog->selectedUrls();
            done(result == QDialog::Accepted && !urls.isEmpty() ? urls.first() : QUrl());
        });
        dialog->open();
    };
}

void QVDownLoadFilePathSettingVC::setFolderChooser(FolderChooser chooser)
{
    currentChooser() = chooser ? std::move(chooser) : desktopFolderChooser();
}

void QVDownLoadFilePathSettingVC::chooseFolder(QWidget *page, std::function<void(const QUrl &)> done)
{
    currentChooser()(page, localizable("downLoad_filePath_selectTitle"), std::move(done));
}

QVDownLoadFilePathSettingVC::QVDownLoadFilePathSettingVC(QWidget *parent) : QVBaseViewController(parent)
{
    setObjectName(ClassName);
    baseSetting();
}

void QVDownLoadFilePathSettingVC::baseSetting()
{
    m_backBtn = new QVBaseButton(this);
    m_backBtn->setObjectName(QStringLiteral("backBtn"));
    m_backBtn->setImage(QVNamedImage(QStringLiteral("list_back")));
    m_backBtn->setIsInteraction(true);
    connect(m_backBtn, &QAbstractButton::clicked, this, &QVDownLoadFilePathSettingVC::backBtnClick);

    m_appNameLabel = new QLabel(localizable("app_name"), this);
    styleLabel(m_appNameLabel, 13, false, QColor(0x99, 0x99, 0x99));
    m_titleLabel = new QLabel(localizable("downLoad_filePath_setting"), this);
    styleLabel(m_titleLabel, 20, true, QColor(0x33, 0x33, 0x33));

    m_filePathView = new QVBackgrounView(this);
    m_filePathView->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0xF1F1F1")));
    m_filePathView->setIsRadius(true);
    m_filePathView->setCornerRadius(6.0);
    m_filePathLabel = new QLabel(m_filePathView);
    m_filePathLabel->setObjectName(QStringLiteral("filePathLabel"));
    m_filePathLabel->setWordWrap(true);
    m_filePathLabel->setTextFormat(Qt::PlainText);
    m_filePathLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    styleLabel(m_filePathLabel, 13, false, QColor(0x66, 0x66, 0x66));

    m_settingBtn = new QVBaseButton(localizable("downLoad_filePath_browse"), this);
    m_settingBtn->setObjectName(QStringLiteral("settingBtn"));
    m_settingBtn->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x5983EC")));
    m_settingBtn->setIsRadius(true);
    m_settingBtn->setCornerRadius(6.0);
    m_settingBtn->setIsInteraction(true);
    QPalette palette = m_settingBtn->palette();
    palette.setColor(QPalette::ButtonText, Qt::white);
    m_settingBtn->setPalette(palette);
    QFont font = m_settingBtn->font();
    font.setPixelSize(14);
    m_settingBtn->setFont(font);
    connect(m_settingBtn, &QAbstractButton::clicked, this, &QVDownLoadFilePathSettingVC::settingBtnClick);

    showStoredFolder();
}

void QVDownLoadFilePathSettingVC::showStoredFolder()
{
    const QUrl folder = QVPublicTools::sharedPublicTools()->getDownLoadFilePathWithBookMark();
    m_filePathLabel->setText(folder.isEmpty() ? localizable("downLoad_filePath_tipsShow")
                                              : folder.toString(QUrl::FullyEncoded));
}

void QVDownLoadFilePathSettingVC::showEvent(QShowEvent *event)
{
    // The page is kept between visits: each visit shows what is stored now.
    QVBaseViewController::showEvent(event);
    showStoredFolder();
}

void QVDownLoadFilePathSettingVC::resizeEvent(QResizeEvent *event)
{
    QVBaseViewController::resizeEvent(event);
    const int w = width();
    m_backBtn->setGeometry(16, 20, 24, 24);
    m_appNameLabel->setGeometry(52, 18, w - 72, 22);
    m_titleLabel->setGeometry(52, 40, w - 72, 30);
    m_filePathView->setGeometry(20, 96, w - 40, 72);
    m_filePathLabel->setGeometry(12, 6, w - 64, 60);
    m_settingBtn->setGeometry(20, 184, w - 40, 40);
}

void QVDownLoadFilePathSettingVC::settingBtnClick()
{
    QPointer<QVDownLoadFilePathSettingVC> self(this);
    chooseFolder(this, [self](const QUrl &folder) {
        if (folder.isEmpty() || !folder.isLocalFile())
            return;
        QVPublicTools::sharedPublicTools()->saveDownLoadFilePathWithWithUrl(folder);
        if (self)
            self->m_filePathLabel->setText(QDir::toNativeSeparators(folder.toLocalFile()));
    });
}

void QVDownLoadFilePathSettingVC::backBtnClick()
{
    if (QVSettingRootViewControllerDelegate *host = QVPublicTools::sharedPublicTools()->showSettingRootNextViewDelegate())
        host->showSettingNextPageViewWithClassStr(SettingListClassName);
}

bool QVDownLoadFilePathSettingVC::checkIsSaveBookMark() const
{
    QVPublicTools *tools = QVPublicTools::sharedPublicTools();
    const auto store = tools->userDefaults();
    return store && store->contains(QVPublicTools::DownLoadFilePathKey) && tools->downLoadFilePathIsReachable();
}
