#include "Main/ViewController/Setting/QVAboutViewController.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "BaseViewController/View/QVUnderlinedView.h"
#include "Categories/QVViewAdd.h"
#include "Categories/RVColor.h"
#include "Main/Model/QVKVOModel.h"
#include "Main/ViewController/Setting/QVNewVersionInfoModel.h"
#include "Main/ViewController/Setting/QVSettingLook.h"
#include "Main/ViewController/Setting/QVSettingTimings.h"
#include "Main/ViewController/Setting/QVSettingViewController.h"
#include "PublicManager/QVLog.h"
#include "PublicManager/QVPageRegistry.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>

QV_REGISTER_PAGE(QVAboutViewController)

using QVSettingLook::localizable;

namespace {

constexpr int LogoSize = 64;
constexpr int LogoTop = 150;
constexpr int VersionTop = LogoTop + LogoSize + 16;
constexpr int VersionHeight = 24;
constexpr int UpdateTop = VersionTop + VersionHeight + 20;

// A button that takes clicks and draws nothing: the area it covers shows
// what lies beneath.
class QVTransparentButton : public QAbstractButton
{
public:
    using QAbstractButton::QAbstractButton;

protected:
    void paintEvent(QPaintEvent *) override {}
};

} // namespace

QVAboutViewController::QVAboutViewController(QWidget *parent)
    : QVBaseViewController(parent)
{
    setObjectName(ClassName);
    m_bgView = new QVBackgrounView(this);
    m_bgView->setObjectName(QStringLiteral("bgView"));
    m_backBtn = new QVBaseButton(m_bgView);
    m_appNameLabel = new QLabel(m_bgView);
    m_titleLabel = new QLabel(m_bgView);
    m_logoView = new QLabel(m_bgView);
    m_logoView->setObjectName(QStringLiteral("logoView"));
    m_versionLabel = new QLabel(m_bgView);
    m_versionLabel->setObjectName(QStringLiteral("versionLabel"));
    m_toUpdateBgView = new QWidget(m_bgView);
    m_toUpdateBgView->setObjectName(QStringLiteral("toUpdateBgView"));
    m_hideLabel = new QLabel(m_bgView);
    m_hideLabel->setObjectName(QStringLiteral("hideLabel"));
    m_hideBtn = new QVTransparentButton(m_bgView);
    m_hideBtn->setObjectName(QStringLiteral("hideBtn"));
    m_hideBtn->setFocusPolicy(Qt::NoFocus);
    connect(m_hideBtn, &QAbstractButton::clicked, this, &QVAboutViewController::hideBtnClick);
    addKVOObserver();
    baseSetting();
}

QVAboutViewController::~QVAboutViewController() = default;

void QVAboutViewController::addKVOObserver()
{
    QVKVOModel *model = QVShareManager::sharedShareManager()->kvoModel();
    m_observedModel = model;
    connect(model, &QVKVOModel::versionInfoModelChanged, this, [this] {
        QMetaObject::invokeMethod(this, &QVAboutViewController::refreshNewVersionUI, Qt::QueuedConnection);
    }, Qt::DirectConnection);
}

void QVAboutViewController::baseSetting()
{
    m_bgView->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0xF8F8F8")));
    QVSettingLook::setUpBackButton(m_backBtn);
    connect(m_backBtn, &QAbstractButton::clicked, this, &QVAboutViewController::backBtnClick);
    QVSettingLook::setUpHeading(m_appNameLabel, m_titleLabel, QT_TRANSLATE_NOOP("Localizable", "about_title"));

    m_logoView->setPixmap(QVNamedImage(QStringLiteral("about_logo")));
    m_logoView->setAlignment(Qt::AlignCenter);

    m_versionLabel->setText(QStringLiteral("%1 v%2").arg(localizable(QT_TRANSLATE_NOOP("Localizable", "app_name")),
                                                         QVPublicTools::appVersion()));
    m_versionLabel->setAlignment(Qt::AlignCenter);
    QVSettingLook::setFont(m_versionLabel, 16, false);
    QVSettingLook::setTextColor(m_versionLabel, QVSettingLook::TitleColor);

    refreshNewVersionUI();

    m_hideLabel->setText(QStringLiteral("build:%1").arg(QVPublicTools::appBuild()));
    m_hideLabel->setAlignment(Qt::AlignCenter);
    QVSettingLook::setFont(m_hideLabel, 12, false);
    QVSettingLook::setTextColor(m_hideLabel, QVSettingLook::HintColor);
    m_hideLabel->hide();
    QVPublicTools::sharedPublicTools()->vcCacheDictionary().insert(ClassName, this);
}

void QVAboutViewController::refreshNewVersionUI()
{
    QVAdd::removeAllSubviews(m_toUpdateBgView);
    m_toUpdateBtn = nullptr;
    const bool needUpdate =
        m_observedModel && QVNewVersionInfoModel::checkNeedUpdate(m_observedModel->versionInfoModel());
    if (needUpdate)
        addNewVersionUI();
    else
        m_toUpdateBgViewHeight = 0;
    layoutContent();
}

void QVAboutViewController::addNewVersionUI()
{
    const QStringList lines =
        localizable(QT_TRANSLATE_NOOP("Localizable", "about_checkNewVersion_officialWebsite_describe"))
            .split(QLatin1Char('\n'));
    const int count = int(lines.size());
    m_toUpdateBgViewHeight = count * LineHeight;
    // The first line on top, as it is read.
    for (int k = 0; k < count; ++k) {
        auto *line = new QVUnderlinedView(m_toUpdateBgView);
        line->setObjectName(QStringLiteral("underlinedView%1").arg(k));
        line->textLabel()->setText(lines.at(k));
        line->setGeometry(0, k * LineHeight, LineWidth, LineHeight);
        line->show();
    }
    auto *button = new QVTransparentButton(m_toUpdateBgView);
    button->setObjectName(QStringLiteral("toUpdateBtn"));
    button->setCursor(Qt::PointingHandCursor);
    button->setGeometry(0, 0, LineWidth, m_toUpdateBgViewHeight);
    connect(button, &QAbstractButton::clicked, this, &QVAboutViewController::toUpdateBtnClick);
    button->show();
    button->raise();
    m_toUpdateBtn = button;
}

void QVAboutViewController::resizeEvent(QResizeEvent *)
{
    layoutContent();
}

void QVAboutViewController::layoutContent()
{
    m_bgView->setGeometry(rect());
    QVSettingLook::layoutHeading(m_appNameLabel, m_titleLabel, QVSettingLook::HeadingLeftAfterBack, width());
    m_logoView->setGeometry((width() - LogoSize) / 2, LogoTop, LogoSize, LogoSize);
    m_versionLabel->setGeometry(0, VersionTop, width(), VersionHeight);
    // The clicks that reveal the build line land on the logo or the version.
    m_hideBtn->setGeometry((width() - LineWidth) / 2, LogoTop, LineWidth, VersionTop + VersionHeight - LogoTop);
    // The lines start at the area's left edge; the area stands where the
    // widest of them is centred under the version.
    int widest = 0;
    for (const QVUnderlinedView *line : m_toUpdateBgView->findChildren<QVUnderlinedView *>())
        widest = qMax(widest, line->textLabel()->fontMetrics().horizontalAdvance(line->textLabel()->text()));
    const int updateLeft = qBound(0, (width() - qMin(widest, int(LineWidth))) / 2, qMax(0, width() - LineWidth));
    m_toUpdateBgView->setGeometry(updateLeft, UpdateTop, LineWidth, m_toUpdateBgViewHeight);
    m_toUpdateBgView->setVisible(m_toUpdateBgViewHeight > 0);
    const int hideTop = UpdateTop + (m_toUpdateBgViewHeight > 0 ? m_toUpdateBgViewHeight + 16 : 0);
    m_hideLabel->setGeometry(0, hideTop, width(), 18);
}

void QVAboutViewController::hideBtnClick()
{
    ++m_clickCounter;
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setSingleShot(true);
        connect(m_timer, &QTimer::timeout, this, &QVAboutViewController::resetClickCounter);
        m_timer->start(QVSettingTimings::current().aboutClickWindowMs);
    }
    if (m_clickCounter >= ClicksToToggle) {
        displayContent();
        resetClickCounter();
    }
}

void QVAboutViewController::resetClickCounter()
{
    m_clickCounter = 0;
    if (m_timer) {
        m_timer->stop();
        m_timer->deleteLater();
        m_timer = nullptr;
    }
}

void QVAboutViewController::displayContent()
{
    m_hideLabel->setVisible(m_hideLabel->isHidden());
}

void QVAboutViewController::toUpdateBtnClick()
{
    QVDownloadPage::open("QVAboutViewController");
}

void QVAboutViewController::backBtnClick()
{
    if (QVSettingRootViewControllerDelegate *host = QVPublicTools::sharedPublicTools()->showSettingRootNextViewDelegate())
        host->showSettingNextPageViewWithClassStr(QVSettingViewController::ClassName);
}
