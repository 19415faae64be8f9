#pragma once

#include <QColor>
#include <QScrollBar>

// A thin scroll bar with no track: only a white rounded knob, inset 3 points
// across, over a fill that is clear unless a colour is set.
class QVCustomScroller : public QScrollBar
{
    Q_OBJECT
public:
    explicit QVCustomScroller(Qt::Orientation orientation, QWidget *parent = nullptr);
    explicit QVCustomScroller(QWidget *parent = nullptr);

    // True only for this class itself; subclasses answer false.
    bool isCompatibleWithOverlayScrollers() const;

    QColor backgroundColor() const { return m_backgroundColor; }
    // Takes effect at once; nil clears the fill.
    void setBackgroundColor(const QColor &color);

    // The knob's rectangle (before the inset), from the range, the page step
    // and the value.
    QRect rectForKnob() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void drawKnob(QPainter &painter) const;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int trackLength() const;
    int knobLength() const;
    int valueForKnobStart(int knobStart) const;

    QColor m_backgroundColor;
    bool m_dragging = false;
    int m_dragOffset = 0;
};
