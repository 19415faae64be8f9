#include "BaseViewController/View/QVBuleCursorTextField.h"

#include "Categories/QVTextFieldAdd.h"
#include "Categories/RVColor.h"

#include <QGuiApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleHints>
#include <QTimer>

namespace {

// The line edit draws its caret in the text colour; this style makes that
// caret zero wide so the field can draw its own in another colour.
class HiddenCaretStyle : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        if (metric == PM_TextCursorWidth)
            return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// QLineEdit's cursor rectangle reaches 5 pixels left of the insertion point.
constexpr int kCursorRectLead = 5;

} // namespace

QVBuleCursorTextField::QVBuleCursorTextField(QWidget *parent)
    : QLineEdit(parent)
{
    auto *style = new HiddenCaretStyle;
    style->setParent(this);
    setStyle(style);

    m_blink = new QTimer(this);
    connect(m_blink, &QTimer::timeout, this, [this] {
        m_caretOn = !m_caretOn;
        update();
    });
    connect(this, &QLineEdit::cursorPositionChanged, this, &QVBuleCursorTextField::restartBlink);
    connect(this, &QLineEdit::textChanged, this, &QVBuleCursorTextField::restartBlink);
}

bool QVBuleCursorTextField::event(QEvent *event)
{
    if (QVAdd::handleKeyEquivalentEvent(this, event))
        return true;
    return QLineEdit::event(event);
}

void QVBuleCursorTextField::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (hasFocus())
        m_insertionPointColor = rv_colorWithHexString(QStringLiteral("0x00BBE3"));
    restartBlink();
}

void QVBuleCursorTextField::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    m_blink->stop();
    m_caretOn = false;
    update();
}

void QVBuleCursorTextField::restartBlink()
{
    if (!hasFocus())
        return;
    m_caretOn = true;
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    if (flashTime > 0)
        m_blink->start(flashTime / 2);
    else
        m_blink->stop();
    update();
}

void QVBuleCursorTextField::paintEvent(QPaintEvent *event)
{
    QLineEdit::paintEvent(event);
    if (!hasFocus() || !m_caretOn || isReadOnly() || hasSelectedText() || !m_insertionPointColor.isValid())
        return;
    const QRect around = cursorRect();
    QPainter painter(this);
    painter.fillRect(QRect(around.x() + kCursorRectLead, around.y(), 1, around.height() - 1), m_insertionPointColor);
}
