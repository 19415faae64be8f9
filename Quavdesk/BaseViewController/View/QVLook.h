#pragma once

#include <QColor>
#include <QRectF>

class QPainter;
class QWidget;

// The look that the background views and the loading overlay share: a fill,
// a border drawn inside the bounds, rounded corners that also clip the
// children, and a layer opacity that is in force only while its flag is set.
class QVLook
{
public:
    QColor backgroundColor() const { return m_backgroundColor; }
    // Stores the colour; a nil colour leaves the fill that was showing.
    void setBackgroundColor(const QColor &color);

    bool isBorder = false;
    QColor borderColor;
    double borderWidth = 0;
    bool isRadius = false;
    double cornerRadius = 0;
    bool isOpacity = false;
    double opacity = 0;

    // Draws fill and border; changes nothing.
    void paint(QPainter &painter, const QRectF &bounds) const;
    // Brings the view's layer (clip and opacity) in line with the look.
    void applyLayer(QWidget *view) const;

private:
    QColor m_backgroundColor;
    QColor m_fill;
};
