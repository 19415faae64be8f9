#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>
#include <QtGlobal>

class QPainter;

// Path helpers on QPainterPath, which stands for both the drawing path and
// the plain geometric path. Coordinates are taken as given: corner 1 is
// (x, y), which is the top left on a y-down canvas. Angles are in degrees,
// counter-clockwise from the x axis when y points up (clockwise on a y-down
// canvas). Main thread when drawing; the geometry is pure. The paths the
// constructors below make fill by the non-zero winding rule, the platform's
// default (a bare QPainterPath starts even-odd).

// The bits of a corner mask.
enum QVRectCorner : quint64 {
    QVRectCornerMinXMinY = 1,  // (x, y)
    QVRectCornerMaxXMinY = 2,  // (maxX, y)
    QVRectCornerMinXMaxY = 4,  // (x, maxY)
    QVRectCornerMaxXMaxY = 8,  // (maxX, maxY)
    QVRectCornerAll = 15,
};

// A rounded rectangle with the radius in x and y (clamped to half the side).
QPainterPath qv_bezierPathWithRoundedRect(const QRectF &rect, qreal cornerRadius);
// A closed rectangle whose corners in `corners` are rounded by one cubic
// each (first control point on the corner, second on the end) with radii
// rx = `radii` width and ry = height; the others stay square.
QPainterPath qv_bezierPathWithRoundedRect(const QRectF &rect, quint64 corners, const QSizeF &radii);
// A new path holding just the arc (starting with a move to its first point).
QPainterPath qv_bezierPathWithArcCenter(const QPointF &center, qreal radius, qreal startAngle, qreal endAngle,
                                        bool clockwise);
// A new path with the elements of `cgPath`.
QPainterPath qv_bezierPathWithCGPath(const QPainterPath &cgPath);

void qv_appendPath(QPainterPath &path, const QPainterPath &other);
void qv_addLineToPoint(QPainterPath &path, const QPointF &point);
void qv_addCurveToPoint(QPainterPath &path, const QPointF &end, const QPointF &controlPoint1,
                        const QPointF &controlPoint2);
// A quadratic curve from the current point P to `end` with `controlPoint`
// C, as the cubic with control points P + 2/3 (C - P) and E + 2/3 (C - E).
void qv_addQuadCurveToPoint(QPainterPath &path, const QPointF &end, const QPointF &controlPoint);
// The arc, joined to the current point by a line (or begun by a move when
// the path is empty).
void qv_addArcWithCenter(QPainterPath &path, const QPointF &center, qreal radius, qreal startAngle, qreal endAngle,
                         bool clockwise);
void qv_applyTransform(QPainterPath &path, const QTransform &transform);

// Blend modes by their Core Graphics numbers: 0 normal, 1 multiply, 2
// screen, 3 overlay, 4 darken, 5 lighten, 6 colour dodge, 7 colour burn, 8
// soft light, 9 hard light, 10 difference, 11 exclusion, 12-15 hue,
// saturation, colour and luminosity (drawn as normal: no Qt counterpart),
// 16 clear, 17 copy, 18 source in, 19 source out, 20 source atop, 21
// destination over, 22 destination in, 23 destination out, 24 destination
// atop, 25 xor, 26 plus darker (drawn as normal), 27 plus lighter. Others
// draw as normal.
// Fills with the painter's brush (stroke: pen) in that mode at that
// opacity, leaving the painter's state as it was.
void qv_fillWithBlendMode(QPainter &painter, const QPainterPath &path, qint32 blendMode, double alpha);
void qv_strokeWithBlendMode(QPainter &painter, const QPainterPath &path, qint32 blendMode, double alpha);

// The path as a plain path whose last subpath is always closed.
QPainterPath qv_CGPath(const QPainterPath &path);
// Replaces the path's elements by those of `cgPath` (the fill rule stays).
void setQv_CGPath(QPainterPath &path, const QPainterPath &cgPath);

bool qv_usesEvenOddFillRule(const QPainterPath &path);
void setQv_usesEvenOddFillRule(QPainterPath &path, bool evenOdd);
