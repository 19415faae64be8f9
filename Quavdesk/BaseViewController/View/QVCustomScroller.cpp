#include "BaseViewController/View/QVCustomScroller.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kThickness = 15;
constexpr int kMinimumKnobLength = 18;
constexpr qreal kKnobInset = 3.0;
constexpr qreal kKnobRadius = 3.0;
} // namespace

QVCustomScroller::QVCustomScroller(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

QVCustomScroller::QVCustomScroller(QWidget *parent)
    : QVCustomScroller(Qt::Vertical, parent)
{
}

bool QVCustomScroller::isCompatibleWithOverlayScrollers() const
{
    return metaObject() == &QVCustomScroller::staticMetaObject;
}

void QVCustomScroller::setBackgroundColor(const QColor &color)
{
    m_backgroundColor = color;
    update();
}

QSize QVCustomScroller::sizeHint() const
{
    return orientation() == Qt::Vertical ? QSize(kThickness, 100) : QSize(100, kThickness);
}

int QVCustomScroller::trackLength() const
{
    return orientation() == Qt::Vertical ? height() : width();
}

int QVCustomScroller::knobLength() const
{
    const qint64 range = static_cast<qint64>(maximum()) - minimum();
    const int track = trackLength();
    if (range <= 0)
        return track;
    const qint64 length = static_cast<qint64>(track) * pageStep() / (range + pageStep());
    const qint64 shortest = qMin(kMinimumKnobLength, track);
    return static_cast<int>(qBound(shortest, length, static_cast<qint64>(track)));
}

QRect QVCustomScroller::rectForKnob() const
{
    const qint64 range = static_cast<qint64>(maximum()) - minimum();
    const int length = knobLength();
    const int room = trackLength() - length;
    const int start = range <= 0 ? 0 : static_cast<int>(static_cast<qint64>(room) * (value() - minimum()) / range);
    if (orientation() == Qt::Vertical)
        return QRect(0, start, width(), length);
    return QRect(start, 0, length, height());
}

int QVCustomScroller::valueForKnobStart(int knobStart) const
{
    const int room = trackLength() - knobLength();
    if (room <= 0)
        return minimum();
    const qint64 range = static_cast<qint64>(maximum()) - minimum();
    const int clamped = qBound(0, knobStart, room);
    return minimum() + static_cast<int>(range * clamped / room);
}

void QVCustomScroller::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_backgroundColor.isValid())
        painter.fillRect(rect(), m_backgroundColor);
    // No slot: only the knob is drawn.
    drawKnob(painter);
}

void QVCustomScroller::drawKnob(QPainter &painter) const
{
    if (maximum() <= minimum())
        return;
    const QRectF knob = QRectF(rectForKnob()).adjusted(kKnobInset, 0, -kKnobInset, 0);
    if (knob.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(knob, kKnobRadius, kKnobRadius);
    painter.fillPath(path, Qt::white);
    painter.restore();
}

void QVCustomScroller::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || maximum() <= minimum()) {
        event->ignore();
        return;
    }
    const QRect knob = rectForKnob();
    const QPoint at = event->position().toPoint();
    const int along = orientation() == Qt::Vertical ? at.y() : at.x();
    const int knobStart = orientation() == Qt::Vertical ? knob.top() : knob.left();
    if (knob.contains(at)) {
        m_dragging = true;
        m_dragOffset = along - knobStart;
        setSliderDown(true);
    } else {
        triggerAction(along < knobStart ? SliderPageStepSub : SliderPageStepAdd);
    }
    event->accept();
}

void QVCustomScroller::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging) {
        event->ignore();
        return;
    }
    const QPoint at = event->position().toPoint();
    const int along = orientation() == Qt::Vertical ? at.y() : at.x();
    setSliderPosition(valueForKnobStart(along - m_dragOffset));
    event->accept();
}

void QVCustomScroller::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_dragging) {
        m_dragging = false;
        setSliderDown(false);
    }
    event->accept();
}
