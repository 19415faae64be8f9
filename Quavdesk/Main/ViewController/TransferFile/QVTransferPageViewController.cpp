#include "Main/ViewController/TransferFile/QVTransferPageViewController.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

#include "BaseViewController/View/QVAlertSlot.h"
#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVDefaultAlertController.h"
#include "BaseViewController/View/QVNoPromptAlertController.h"
#include "Categories/RVColor.h"
#include "Main/ViewController/TransferFile/QVTransferTableView.h"

namespace {

QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

QLabel *whiteLabel(const QString &text, int pixelSize, bool bold, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    return label;
}

} // namespace

QVTransferPageViewController::QVTransferPageViewController(QWidget *parent)
    : QVBaseViewController(parent)
{
    auto *pageLayout = new QVBoxLayout(this);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    m_bgView = new QVBackgrounView(this);
    m_bgView->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x5879FC")));
    pageLayout->addWidget(m_bgView);

    auto *layout = new QVBoxLayout(m_bgView);
    layout->setContentsMargins(30, 30, 30, 30);
    layout->setSpacing(12);
    m_appNameLabel = whiteLabel(localizable("app_name"), 22, true, m_bgView);
    m_describeLabel = whiteLabel(localizable("transferFile_transferringDescribe"), 14, false, m_bgView);
    m_describeLabel->setWordWrap(true);
    layout->addWidget(m_appNameLabel);
    layout->addWidget(m_describeLabel);

    m_tableView = new QVTransferTableView(m_bgView);
    layout->addWidget(m_tableView, 1);

    m_transferFileBtn = new QVBaseButton(m_bgView);
    m_transferFileBtn->setBackgroundColor(Qt::white);
    m_transferFileBtn->setIsRadius(true);
    m_transferFileBtn->setCornerRadius(6.0);
    m_transferFileBtn->setIsInteraction(true);
    m_transferFileBtn->setFixedSize(180, 40);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_transferFileBtn);
    buttonRow->addStretch(1);
    layout->addLayout(buttonRow);
    // The page reacts after the click has been handled: it may leave.
    connect(m_transferFileBtn, &QAbstractButton::clicked, this, [this] {
        QTimer::singleShot(0, this, [this] { transferFileBtnClick(); });
    });

    m_alertSlot = new QVAlertSlot(m_bgView);
}

bool QVTransferPageViewController::checkShowingAlert() const
{
    return m_alertSlot->isShowing();
}

QVDefaultAlertController *QVTransferPageViewController::defaultAlertVC() const
{
    return qobject_cast<QVDefaultAlertController *>(m_alertSlot->alert());
}

QVNoPromptAlertController *QVTransferPageViewController::noPromptAlertVC() const
{
    return qobject_cast<QVNoPromptAlertController *>(m_alertSlot->alert());
}

void QVTransferPageViewController::removeAlertVC()
{
    m_alertSlot->dismiss();
}

void QVTransferPageViewController::refreshTransferFileBtnStyle(qint64 style)
{
    QTimer::singleShot(0, this, [this, style] {
        m_transferFileBtn->setProperty("tag", qint64(100 + style));
        applyTransferFileBtnStyle(style);
    });
}

void QVTransferPageViewController::singleDeleteWithAction(const std::function<void()> &deleteNow)
{
    if (noPromptAgain()) {
        deleteNow();
        return;
    }
    setSingleDeleteAlert(deleteNow);
}

void QVTransferPageViewController::setSingleDeleteAlert(const std::function<void()> &deleteNow)
{
    auto *alert = m_alertSlot->present<QVNoPromptAlertController>();
    if (!alert)
        return;
    alert->setAlertType(1);
    alert->contentLabel()->setText(deleteQuestion());
    QPointer<QVTransferPageViewController> self(this);
    alert->setDoubleLeftBtnClickBlock([self] {
        if (self)
            self->removeAlertVC();
    });
    alert->setDoubleRightBtnClickBlock([self, deleteNow](bool noPrompt) {
        if (!self)
            return;
        self->setNoPromptAgain(noPrompt);
        if (self->deletesBeforeRemovingAlert()) {
            deleteNow();
            if (self)
                self->removeAlertVC();
        } else {
            self->removeAlertVC();
            deleteNow();
        }
    });
}

QString QVTransferPageViewController::deleteQuestion() const
{
    // A download's delete takes the file out of the download folder too.
    return localizable(QT_TRANSLATE_NOOP("Localizable", "alert_transferFile_sureDelete"));
}

void QVTransferPageViewController::showOneButtonAlert(const QString &text)
{
    auto *alert = m_alertSlot->present<QVDefaultAlertController>();
    if (!alert)
        return;
    alert->setAlertType(0);
    alert->contentLabel()->setText(text);
    QPointer<QVTransferPageViewController> self(this);
    alert->setSingleBtnClickBlock([self] {
        if (self)
            self->removeAlertVC();
    });
}

void QVTransferPageViewController::setServerCUPLoadAlertVC()
{
    showOneButtonAlert(localizable("alert_transferFile_CPULoad"));
}

void QVTransferPageViewController::setServerRejectUploadAlertVC()
{
    showOneButtonAlert(localizable("downLoad_allowTransfer_title"));
}

void QVTransferPageViewController::setNetworkReconnectAlert()
{
    QPointer<QVTransferPageViewController> self(this);
    showDefaultAlert(
        networkDisconnectTexts(),
        [self] {
            if (!self)
                return;
            self->removeAlertVC();
            self->backToPreviousPage();
        },
        [self] {
            if (!self)
                return;
            self->removeAlertVC();
            self->networkReconnection();
        });
}

void QVTransferPageViewController::showDefaultAlert(const AlertTexts &texts, std::function<void()> left,
                                                     std::function<void()> right)
{
    auto *alert = m_alertSlot->present<QVDefaultAlertController>();
    if (!alert)
        return;
    alert->setAlertType(1);
    alert->contentLabel()->setText(texts.text);
    if (!texts.leftTitle.isEmpty())
        alert->doubleLeftBtn()->setText(texts.leftTitle);
    if (!texts.rightTitle.isEmpty())
        alert->doubleRightBtn()->setText(texts.rightTitle);
    alert->setDoubleLeftBtnClickBlock(std::move(left));
    alert->setDoubleRightBtnClickBlock(std::move(right));
}
