#include "Main/ViewController/Setting/QVSettingSwitch.h"

#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>

QVSettingSwitch::QVSettingSwitch(QWidget *parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    resize(Size);
}

void QVSettingSwitch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const double radius = track.height() / 2.0;
    painter.setPen(Qt::NoPen);
    QColor fill = isChecked() ? OnColor : OffColor;
    if (!isEnabled())
        fill.setAlphaF(0.5);
    painter.setBrush(fill);
    painter.drawRoundedRect(track, radius, radius);

    const double knob = track.height() - 4.0;
    const double x = isChecked() ? track.right() - 2.0 - knob : track.left() + 2.0;
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(x, track.top() + 2.0, knob, knob));

    if (hasFocus() && m_keyboardFocus) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(OnColor.darker(130), 1.0));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius + 1, radius + 1);
    }
}

void QVSettingSwitch::focusInEvent(QFocusEvent *event)
{
    m_keyboardFocus = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    QAbstractButton::focusInEvent(event);
}
