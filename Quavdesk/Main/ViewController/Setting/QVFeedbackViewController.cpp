#include "Main/ViewController/Setting/QVFeedbackViewController.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVFeedbackContentTextView.h"
#include "BaseViewController/View/QVLoadingView.h"
#include "Categories/QVViewAdd.h"
#include "Categories/RVColor.h"
#include "Main/ViewController/Root/QVTipsBanner.h"
#include "Main/ViewController/Setting/QVSettingLook.h"
#include "Main/ViewController/Setting/QVSettingTimings.h"
#include "Main/ViewController/Setting/QVSettingViewController.h"
#include "PublicManager/QVLog.h"
#include "PublicManager/QVPageRegistry.h"
#include "PublicManager/QVPublicTools.h"
#include "QVWebServiceApi.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>

QV_REGISTER_PAGE(QVFeedbackViewController)

using QVSettingLook::localizable;

namespace {

constexpr int Margin = 20;
constexpr int TextHeight = 300;
constexpr int TextPadding = 10;
constexpr int SureHeight = 44;

} // namespace

QVFeedbackViewController::QVFeedbackViewController(QWidget *parent)
    : QVBaseViewController(parent)
{
    setObjectName(ClassName);
    m_bgView = new QVBackgrounView(this);
    m_bgView->setObjectName(QStringLiteral("bgView"));
    m_backBtn = new QVBaseButton(m_bgView);
    m_appNameLabel = new QLabel(m_bgView);
    m_titleLabel = new QLabel(m_bgView);
    m_textBgView = new QVBackgrounView(m_bgView);
    m_textBgView->setObjectName(QStringLiteral("textBgView"));
    m_contentTextView = new QVFeedbackContentTextView(m_textBgView);
    m_contentTextView->setObjectName(QStringLiteral("contentTextView"));
    m_tipsBtn = new QVBaseButton(m_textBgView);
    m_tipsBtn->setObjectName(QStringLiteral("tipsBtn"));
    m_sureBtn = new QVBaseButton(m_bgView);
    m_sureBtn->setObjectName(QStringLiteral("sureBtn"));
    m_tipsBanner = new QVTipsBanner(this, TipsHeight);
    m_tipsBanner->setTimings(QVSettingTimings::current().tips);
    m_feedbackApi = new QVFeedbackApi(this);
    baseSetting();
}

QVFeedbackViewController::~QVFeedbackViewController() = default;

void QVFeedbackViewController::baseSetting()
{
    m_bgView->setBackgroundColor(Qt::white);
    QVSettingLook::setUpBackButton(m_backBtn);
    connect(m_backBtn, &QAbstractButton::clicked, this, &QVFeedbackViewController::backBtnClick);
    QVSettingLook::setUpHeading(m_appNameLabel, m_titleLabel, QT_TRANSLATE_NOOP("Localizable", "feedBack_title"));

    m_textBgView->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0xF1F1F1")));
    m_textBgView->setIsRadius(true);
    m_textBgView->setCornerRadius(6.0);

    // The text types in its own family, at 18, on the box's grey.
    m_contentTextView->setFrameShape(QFrame::NoFrame);
    m_contentTextView->viewport()->setAutoFillBackground(false);
    m_contentTextView->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; }"));
    QVSettingLook::setFont(m_contentTextView, 18, false);
    QVSettingLook::setTextColor(m_contentTextView, QVSettingLook::TitleColor);
    m_contentTextView->setTabChangesFocus(true);
    connect(m_contentTextView, &QPlainTextEdit::textChanged, this, &QVFeedbackViewController::textDidChange);

    m_tipsBtn->setText(QLatin1Char(' ') + localizable(QT_TRANSLATE_NOOP("Localizable", "feedBack_enter_prompt")));
    QVSettingLook::setFont(m_tipsBtn, 15, false);
    QVSettingLook::setButtonTextColor(m_tipsBtn, QColor::fromRgbF(0.70196, 0.70196, 0.70196, 1.0));
    m_tipsBtn->setClickStyle(false);
    m_tipsBtn->setCursor(Qt::IBeamCursor);
    connect(m_tipsBtn, &QAbstractButton::clicked, this, &QVFeedbackViewController::tipsLabelClick);

    m_sureBtn->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "feedBack_submit")));
    m_sureBtn->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x5983EC")));
    m_sureBtn->setIsRadius(true);
    m_sureBtn->setCornerRadius(6.0);
    QVSettingLook::setFont(m_sureBtn, 16, false);
    QVSettingLook::setButtonTextColor(m_sureBtn, Qt::white);
    connect(m_sureBtn, &QAbstractButton::clicked, this, &QVFeedbackViewController::confirmAction);
    changeBtnStyle(false);
}

void QVFeedbackViewController::resizeEvent(QResizeEvent *)
{
    m_bgView->setGeometry(rect());
    QVSettingLook::layoutHeading(m_appNameLabel, m_titleLabel, QVSettingLook::HeadingLeftAfterBack, width());
    const int contentWidth = qMax(0, width() - 2 * Margin);
    m_textBgView->setGeometry(Margin, QVSettingLook::ContentTop, contentWidth, TextHeight);
    m_contentTextView->setGeometry(m_textBgView->rect().adjusted(TextPadding, TextPadding, -TextPadding, -TextPadding));
    // The placeholder stands where the first line of text will be.
    const int lineHeight = m_contentTextView->fontMetrics().height();
    m_tipsBtn->setGeometry(TextPadding, TextPadding + 4, contentWidth - 2 * TextPadding, lineHeight);
    m_sureBtn->setGeometry(Margin, QVSettingLook::ContentTop + TextHeight + Margin, contentWidth, SureHeight);
    if (m_loadingView)
        m_loadingView->setGeometry(m_bgView->rect());
}

QVLoadingView *QVFeedbackViewController::loadingView()
{
    if (!m_loadingView) {
        m_loadingView = new QVLoadingView(m_bgView->rect(), m_bgView);
        m_loadingView->setObjectName(QStringLiteral("loadingView"));
        m_loadingView->setBackgroundColor(Qt::gray);
        m_loadingView->setIsOpacity(true);
        m_loadingView->setOpacity(0.5);
        m_loadingView->hiddenLoadingView();
    }
    return m_loadingView.data();
}

void QVFeedbackViewController::tipsLabelClick()
{
    m_contentTextView->setFocus(Qt::MouseFocusReason);
}

void QVFeedbackViewController::textDidChange()
{
    // Decided from the whole text after every change, so that deleting a
    // selection, cutting or pasting over it cannot leave submit usable with
    // nothing to send. White space alone is nothing to send.
    changeBtnStyle(!m_contentTextView->toPlainText().trimmed().isEmpty());
}

void QVFeedbackViewController::changeBtnStyle(bool enabled)
{
    m_sureBtn->setEnabled(enabled);
    m_sureBtn->setIsInteraction(enabled);
    QVAdd::setLayerOpacity(m_sureBtn, enabled ? 1.0 : 0.5);
    // White space alone hides the placeholder without enabling submit.
    m_tipsBtn->setVisible(!enabled && m_contentTextView->toPlainText().isEmpty());
}

void QVFeedbackViewController::confirmAction()
{
    const QString content = m_contentTextView->toPlainText();
    if (content.trimmed().isEmpty())
        return;
    loadingView()->showLoadingView();
    loadingView()->raise();
    QVLogInfo(0, QStringLiteral("QVFeedbackViewController send feedback, %1 characters").arg(content.size()));
    QPointer<QVFeedbackViewController> self(this);
    m_feedbackApi->send(content, [self](bool accepted) {
        if (self)
            self->feedbackFinished(accepted);
    });
}

void QVFeedbackViewController::feedbackFinished(bool accepted)
{
    loadingView()->hiddenLoadingView();
    if (!accepted) {
        QVLogInfo(0, QStringLiteral("QVFeedbackViewController feedback not accepted"));
        mainThreadRefrshTipsWithTitle(localizable(QT_TRANSLATE_NOOP("Localizable", "network_bad")),
                                      QVTipsBanner::TypeBad);
        return;
    }
    QVLogInfo(0, QStringLiteral("QVFeedbackViewController feedback accepted"));
    mainThreadRefrshTipsWithTitle(localizable(QT_TRANSLATE_NOOP("Localizable", "feedBack_submit_success")),
                                  QVTipsBanner::TypeGood);
    m_contentTextView->clear();
    QTimer::singleShot(QVSettingTimings::current().feedbackReturnMs, this, &QVFeedbackViewController::showSettingList);
}

void QVFeedbackViewController::backBtnClick()
{
    showSettingList();
}

void QVFeedbackViewController::showSettingList()
{
    if (QVSettingRootViewControllerDelegate *host = QVPublicTools::sharedPublicTools()->showSettingRootNextViewDelegate())
        host->showSettingNextPageViewWithClassStr(QVSettingViewController::ClassName);
}

void QVFeedbackViewController::mainThreadRefrshTipsWithTitle(const QString &text, qint64 type)
{
    QMetaObject::invokeMethod(
        this, [this, text, type] { m_tipsBanner->showTipsWithTitle(text, type); }, Qt::QueuedConnection);
}
