#include "Main/ViewController/Main/QVInputViewController.h"

#include "BaseViewController/View/QVAlertParts.h"
#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVBuleCursorTextField.h"
#include "Categories/QVViewAdd.h"
#include "Categories/RVColor.h"
#include "PublicManager/QVPublicTools.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>

namespace {

constexpr double kDisabledOpacity = 0.5;

QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

} // namespace

QVInputViewController::QVInputViewController(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("QVInputViewController"));
    m_bgView = QVAlertParts::makeDimmingLayer(this);
    m_inputBgView = QVAlertParts::makeBox(m_bgView);
    QBoxLayout *content = QVAlertParts::boxLayout(m_inputBgView);

    m_titleLabel = QVAlertParts::makeTitleLabel(m_inputBgView);
    // The receiver names itself: its name is shown as it is, never read as
    // markup.
    m_titleLabel->setTextFormat(Qt::PlainText);

    m_codeTextBgView = QVAlertParts::makeCodePanel(m_inputBgView, m_codeTextField);
    m_codeTextField->setObjectName(QStringLiteral("codeTextField"));
    QFont fieldFont = m_codeTextField->font();
    fieldFont.setPixelSize(20);
    fieldFont.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    m_codeTextField->setFont(fieldFont);

    // This dialog's own colours, not the other alerts' grey and blue.
    m_cannelBtn = QVAlertParts::makeCancelButton(
        localizable(QT_TRANSLATE_NOOP("Localizable", "alert_shareCode_cancel")), m_inputBgView);
    m_cannelBtn->setObjectName(QStringLiteral("cannelBtn"));
    m_cannelBtn->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0xF5F5F5")));
    m_sureBtn = QVAlertParts::makeConfirmButton(
        localizable(QT_TRANSLATE_NOOP("Localizable", "alert_shareCode_sure")), m_inputBgView);
    m_sureBtn->setObjectName(QStringLiteral("sureBtn"));
    m_sureBtn->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x6798FC")));

    content->addWidget(m_titleLabel);
    content->addWidget(m_codeTextBgView);
    content->addLayout(QVAlertParts::makeButtonRow(m_cannelBtn, m_sureBtn, nullptr));

    connect(m_codeTextField, &QLineEdit::textEdited, this, &QVInputViewController::controlTextDidChange);
    m_codeTextField->installEventFilter(this);
    connect(m_cannelBtn, &QAbstractButton::clicked, this, &QVInputViewController::cannelBtnClick);
    connect(m_sureBtn, &QAbstractButton::clicked, this, &QVInputViewController::sureBtnClick);
    changeBtnStyle(false);
}

QString QVInputViewController::limitedCode(const QString &text)
{
    const QString upper = text.toUpper();
    int count = 0;
    for (qsizetype i = 0; i < upper.size(); ++i) {
        const QChar unit = upper.at(i);
        const int weight = (unit.unicode() >= 0x0800 && !unit.isSurrogate()) ? 2 : 1;
        if (count + weight > MaxCodeCount) {
            qsizetype cut = i;
            if (cut > 0 && upper.at(cut - 1).isHighSurrogate())
                --cut;
            return upper.left(cut);
        }
        count += weight;
    }
    return upper;
}

void QVInputViewController::setModel(const DeviceInformation &model)
{
    m_model = model;
    QString title = localizable(QT_TRANSLATE_NOOP("Localizable", "alert_shareCode_title"));
    if (title.contains(QLatin1String("%1")))
        title = title.arg(model.deviceName());
    m_titleLabel->setText(title);

    const std::optional<QVStorageModel> remembered = QVPublicTools::sharedPublicTools()->checkStorageModelWithDeviceIP(
        model.deviceIP(), QVPublicTools::ConnectStorageModelKey);
    if (remembered && !remembered->screenCastingCode().isEmpty()) {
        m_codeTextField->setText(remembered->screenCastingCode());
        controlTextDidChange();
    }
}

void QVInputViewController::changeBtnStyle(bool enabled)
{
    m_sureBtn->setEnabled(enabled);
    m_sureBtn->setIsInteraction(enabled);
    QVAdd::setLayerOpacity(m_sureBtn, enabled ? 1.0 : kDisabledOpacity);
    m_sureBtn->update();
}

void QVInputViewController::controlTextDidChange()
{
    const QString typed = m_codeTextField->text();
    const QString text = limitedCode(typed);
    if (text != typed) {
        // Keep the insertion point after the same characters.
        const qsizetype cursor = typed.left(m_codeTextField->cursorPosition()).toUpper().size();
        m_codeTextField->setText(text);
        m_codeTextField->setCursorPosition(static_cast<int>(qMin(cursor, text.size())));
    }
    changeBtnStyle(!text.isEmpty());
}

void QVInputViewController::sendCode(const QString &code)
{
    // The block may remove this dialog; nothing here runs after it.
    if (m_sureBtnClickBlock) {
        const auto block = m_sureBtnClickBlock;
        block(m_model, code);
    }
}

void QVInputViewController::sureBtnClick()
{
    const QString code = m_codeTextField->text();
    if (!code.isEmpty())
        sendCode(code);
}

void QVInputViewController::cannelBtnClick()
{
    if (m_cannelBtnClickBlock) {
        const auto block = m_cannelBtnClickBlock;
        block();
    }
}

bool QVInputViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_codeTextField && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Return never reaches anything behind the dialog; on an empty
            // field it does nothing at all.
            const QString code = m_codeTextField->text();
            if (!code.isEmpty())
                sendCode(code);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void QVInputViewController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    QVAlertParts::fitBox(m_inputBgView, this);
}

void QVInputViewController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_codeTextField->setFocus(Qt::OtherFocusReason);
}
