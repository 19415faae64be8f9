#include "BaseViewController/View/QVHaveInputAlertController.h"

#include "BaseViewController/View/QVAlertParts.h"
#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVBuleCursorTextField.h"
#include "Categories/QVViewAdd.h"
#include "Categories/RVColor.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>

namespace {
constexpr double kDisabledOpacity = 0.5;
} // namespace

QVHaveInputAlertController::QVHaveInputAlertController(QWidget *parent)
    : QWidget(parent)
{
    baseSetting();
}

void QVHaveInputAlertController::baseSetting()
{
    m_bgView = QVAlertParts::makeDimmingLayer(this);
    m_inputBgView = QVAlertParts::makeBox(m_bgView);
    QBoxLayout *content = QVAlertParts::boxLayout(m_inputBgView);

    m_titleLabel = QVAlertParts::makeTitleLabel(m_inputBgView);
    m_describeLabel = QVAlertParts::makeDescribeLabel(m_inputBgView);

    m_codeTextBgView = QVAlertParts::makeCodePanel(m_inputBgView, m_codeTextField);

    m_errorLabel = QVAlertParts::makeDescribeLabel(m_inputBgView);
    QPalette errorPalette = m_errorLabel->palette();
    errorPalette.setColor(QPalette::WindowText, rv_colorWithHexString(QStringLiteral("0xFF5B5C")));
    m_errorLabel->setPalette(errorPalette);
    QSizePolicy errorPolicy = m_errorLabel->sizePolicy();
    errorPolicy.setRetainSizeWhenHidden(true);
    m_errorLabel->setSizePolicy(errorPolicy);
    m_errorLabel->setMinimumHeight(m_errorLabel->fontMetrics().height());
    m_errorLabel->hide();

    m_cannelBtn = QVAlertParts::makeCancelButton(QCoreApplication::translate("Localizable", "alert_shareCode_cancel"),
                                                 m_inputBgView);
    m_sureBtn = QVAlertParts::makeConfirmButton(QCoreApplication::translate("Localizable", "alert_shareCode_sure"),
                                                m_inputBgView);

    content->addWidget(m_titleLabel);
    content->addWidget(m_describeLabel);
    content->addWidget(m_codeTextBgView);
    content->addWidget(m_errorLabel);
    content->addLayout(QVAlertParts::makeButtonRow(m_cannelBtn, m_sureBtn, nullptr));

    connect(m_codeTextField, &QLineEdit::textEdited, this, &QVHaveInputAlertController::controlTextDidChange);
    m_codeTextField->installEventFilter(this);
    connect(m_cannelBtn, &QAbstractButton::clicked, this, &QVHaveInputAlertController::cannelBtnClick);
    connect(m_sureBtn, &QAbstractButton::clicked, this, &QVHaveInputAlertController::sureBtnClick);
    changeBtnStyle(false);
    m_maxInputLength = 8;
}

void QVHaveInputAlertController::changeBtnStyle(bool enabled)
{
    m_sureBtn->setEnabled(enabled);
    m_sureBtn->setIsInteraction(enabled);
    QVAdd::setLayerOpacity(m_sureBtn, enabled ? 1.0 : kDisabledOpacity);
}

void QVHaveInputAlertController::controlTextDidChange()
{
    const QString typed = m_codeTextField->text();
    QString text = typed.toUpper();
    // Upper-casing can change the length ("ß" becomes "SS"); keep the
    // insertion point after the same characters.
    qsizetype cursor = typed.left(m_codeTextField->cursorPosition()).toUpper().size();
    if (static_cast<quint64>(text.size()) > m_maxInputLength) {
        qsizetype cut = static_cast<qsizetype>(m_maxInputLength);
        // Never keep half of a surrogate pair.
        if (cut > 0 && text.at(cut - 1).isHighSurrogate())
            --cut;
        text.truncate(cut);
    }
    if (text != typed) {
        m_codeTextField->setText(text);
        m_codeTextField->setCursorPosition(static_cast<int>(qMin(cursor, text.size())));
    }
    changeBtnStyle(!text.isEmpty());
    m_errorLabel->hide();
    m_sureBtn->update();
}

void QVHaveInputAlertController::sureBtnClick()
{
    if (m_sureBtnClickBlock)
        m_sureBtnClickBlock(m_codeTextField->text());
}

void QVHaveInputAlertController::cannelBtnClick()
{
    if (m_cannelBtnClickBlock)
        m_cannelBtnClickBlock();
}

bool QVHaveInputAlertController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_codeTextField && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Return is always taken here: it never ends the editing or
            // reaches the page. The block may remove this alert, so it runs last.
            const QString text = m_codeTextField->text();
            if (!text.isEmpty() && m_sureBtnClickBlock) {
                const auto block = m_sureBtnClickBlock;
                block(text);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void QVHaveInputAlertController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    QVAlertParts::fitBox(m_inputBgView, this);
}

void QVHaveInputAlertController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_codeTextField->setFocus(Qt::OtherFocusReason);
}
