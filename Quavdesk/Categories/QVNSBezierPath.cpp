#include "Categories/QVNSBezierPath.h"

#include <QPainter>
#include <QtMath>
#include <cmath>

namespace {

// The cubic that matches a quadratic lies two thirds of the way from each
// end point towards the quadratic's control point.
constexpr qreal kTwoThirds = 0.6666666666666666;

QPointF onCircle(const QPointF &center, qreal radius, qreal radians)
{
    return center + radius * QPointF(std::cos(radians), std::sin(radians));
}

// The signed sweep in degrees: counter-clockwise arcs run forwards from the
// start to the end angle (at most one turn), clockwise ones backwards.
qreal sweepOf(qreal startAngle, qreal endAngle, bool clockwise)
{
    qreal sweep = endAngle - startAngle;
    if (!std::isfinite(sweep))
        return 0;
    if (!clockwise) {
        if (sweep >= 360)
            return 360;
        if (sweep < 0) {
            sweep = std::fmod(sweep, 360.0);
            if (sweep < 0)
                sweep += 360;
        }
    } else {
        if (sweep <= -360)
            return -360;
        if (sweep > 0) {
            sweep = std::fmod(sweep, 360.0);
            if (sweep > 0)
                sweep -= 360;
        }
    }
    return sweep;
}

// Appends the arc as cubic segments of at most a quarter turn each, joined
// to what comes before by a line, or begun with a move on an empty path.
void appendArc(QPainterPath &path, const QPointF &center, qreal radius, qreal startAngle, qreal endAngle,
               bool clockwise)
{
    const qreal sweep = sweepOf(startAngle, endAngle, clockwise);
    const qreal start = qDegreesToRadians(startAngle);
    const QPointF first = onCircle(center, radius, start);
    if (path.elementCount() == 0)
        path.moveTo(first);
    else
        path.lineTo(first);
    if (sweep == 0 || radius == 0)
        return;
    const int segments = std::max(1, static_cast<int>(std::ceil(std::abs(sweep) / 90.0 - 1e-9)));
    const qreal step = qDegreesToRadians(sweep) / segments;
    const qreal k = 4.0 / 3.0 * std::tan(step / 4);
    for (int i = 0; i < segments; ++i) {
        const qreal a = start + step * i;
        const qreal b = a + step;
        const QPointF p0 = onCircle(center, radius, a);
        const QPointF p3 = onCircle(center, radius, b);
        const QPointF c1 = p0 + k * radius * QPointF(-std::sin(a), std::cos(a));
        const QPointF c2 = p3 - k * radius * QPointF(-std::sin(b), std::cos(b));
        path.cubicTo(c1, c2, p3);
    }
}

QPainter::CompositionMode compositionMode(qint32 blendMode)
{
    switch (blendMode) {
    case 1: return QPainter::CompositionMode_Multiply;
    case 2: return QPainter::CompositionMode_Screen;
    case 3: return QPainter::CompositionMode_Overlay;
    case 4: return QPainter::CompositionMode_Darken;
    case 5: return QPainter::CompositionMode_Lighten;
    case 6: return QPainter::CompositionMode_ColorDodge;
    case 7: return QPainter::CompositionMode_ColorBurn;
    case 8: return QPainter::CompositionMode_SoftLight;
    case 9: return QPainter::CompositionMode_HardLight;
    case 10: return QPainter::CompositionMode_Difference;
    case 11: return QPainter::CompositionMode_Exclusion;
    case 16: return QPainter::CompositionMode_Clear;
    case 17: return QPainter::CompositionMode_Source;
    case 18: return QPainter::CompositionMode_SourceIn;
    case 19: return QPainter::CompositionMode_SourceOut;
    case 20: return QPainter::CompositionMode_SourceAtop;
    case 21: return QPainter::CompositionMode_DestinationOver;
    case 22: return QPainter::CompositionMode_DestinationIn;
    case 23: return QPainter::CompositionMode_DestinationOut;
    case 24: return QPainter::CompositionMode_DestinationAtop;
    case 25: return QPainter::CompositionMode_Xor;
    case 27: return QPainter::CompositionMode_Plus;
    default: return QPainter::CompositionMode_SourceOver;
    }
}

template <typename Draw>
void drawBlended(QPainter &painter, qint32 blendMode, double alpha, Draw draw)
{
    painter.save();
    painter.setCompositionMode(compositionMode(blendMode));
    painter.setOpacity(std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 1.0);
    draw();
    painter.restore();
}

// A new path takes the platform's default fill rule, non-zero winding,
// where a bare QPainterPath starts even-odd. Set once the path has its
// elements: setting it on an empty path gives the path a first point.
QPainterPath withWindingFill(QPainterPath path)
{
    path.setFillRule(Qt::WindingFill);
    return path;
}

} // namespace

QPainterPath qv_bezierPathWithRoundedRect(const QRectF &rect, qreal cornerRadius)
{
    QPainterPath path;
    path.addRoundedRect(rect, cornerRadius, cornerRadius);
    return withWindingFill(path);
}

QPainterPath qv_bezierPathWithRoundedRect(const QRectF &rect, quint64 corners, const QSizeF &radii)
{
    const qreal x = rect.x();
    const qreal y = rect.y();
    const qreal maxX = rect.x() + rect.width();
    const qreal maxY = rect.y() + rect.height();
    const qreal rx = radii.width();
    const qreal ry = radii.height();

    QPainterPath cgPath;
    if (corners & QVRectCornerMinXMinY)
        cgPath.moveTo(x + rx, y);
    else
        cgPath.moveTo(x, y);
    if (corners & QVRectCornerMaxXMinY) {
        cgPath.lineTo(maxX - rx, y);
        cgPath.cubicTo(QPointF(maxX, y), QPointF(maxX, y + ry), QPointF(maxX, y + ry));
    } else {
        cgPath.lineTo(maxX, y);
    }
    if (corners & QVRectCornerMaxXMaxY) {
        cgPath.lineTo(maxX, maxY - ry);
        cgPath.cubicTo(QPointF(maxX, maxY), QPointF(maxX - rx, maxY), QPointF(maxX - rx, maxY));
    } else {
        cgPath.lineTo(maxX, maxY);
    }
    if (corners & QVRectCornerMinXMaxY) {
        cgPath.lineTo(x + rx, maxY);
        cgPath.cubicTo(QPointF(x, maxY), QPointF(x, maxY - ry), QPointF(x, maxY - ry));
    } else {
        cgPath.lineTo(x, maxY);
    }
    if (corners & QVRectCornerMinXMinY) {
        cgPath.lineTo(x, y + ry);
        cgPath.cubicTo(QPointF(x, y), QPointF(x + rx, y), QPointF(x + rx, y));
    } else {
        cgPath.lineTo(x, y);
    }
    cgPath.closeSubpath();
    return qv_bezierPathWithCGPath(cgPath);
}

QPainterPath qv_bezierPathWithArcCenter(const QPointF &center, qreal radius, qreal startAngle, qreal endAngle,
                                        bool clockwise)
{
    QPainterPath path;
    appendArc(path, center, radius, startAngle, endAngle, clockwise);
    return withWindingFill(path);
}

QPainterPath qv_bezierPathWithCGPath(const QPainterPath &cgPath)
{
    // The elements replace whatever the path held; the rule stays.
    QPainterPath path = withWindingFill(QPainterPath());
    setQv_CGPath(path, cgPath);
    return path;
}

void qv_appendPath(QPainterPath &path, const QPainterPath &other)
{
    path.addPath(other);
}

void qv_addLineToPoint(QPainterPath &path, const QPointF &point)
{
    path.lineTo(point);
}

void qv_addCurveToPoint(QPainterPath &path, const QPointF &end, const QPointF &controlPoint1,
                        const QPointF &controlPoint2)
{
    path.cubicTo(controlPoint1, controlPoint2, end);
}

void qv_addQuadCurveToPoint(QPainterPath &path, const QPointF &end, const QPointF &controlPoint)
{
    const QPointF current = path.currentPosition();
    path.cubicTo(current + kTwoThirds * (controlPoint - current), end + kTwoThirds * (controlPoint - end), end);
}

void qv_addArcWithCenter(QPainterPath &path, const QPointF &center, qreal radius, qreal startAngle, qreal endAngle,
                         bool clockwise)
{
    appendArc(path, center, radius, startAngle, endAngle, clockwise);
}

void qv_applyTransform(QPainterPath &path, const QTransform &transform)
{
    path = transform.map(path);
}

void qv_fillWithBlendMode(QPainter &painter, const QPainterPath &path, qint32 blendMode, double alpha)
{
    drawBlended(painter, blendMode, alpha, [&] { painter.fillPath(path, painter.brush()); });
}

void qv_strokeWithBlendMode(QPainter &painter, const QPainterPath &path, qint32 blendMode, double alpha)
{
    drawBlended(painter, blendMode, alpha, [&] { painter.strokePath(path, painter.pen()); });
}

QPainterPath qv_CGPath(const QPainterPath &path)
{
    QPainterPath closed = path;
    // Adds the line back to the last subpath's start unless it ends there.
    closed.closeSubpath();
    return closed;
}

void setQv_CGPath(QPainterPath &path, const QPainterPath &cgPath)
{
    const Qt::FillRule rule = path.fillRule();
    path.clear();
    path.setFillRule(rule);
    for (int i = 0; i < cgPath.elementCount(); ++i) {
        const QPainterPath::Element element = cgPath.elementAt(i);
        switch (element.type) {
        case QPainterPath::MoveToElement:
            path.moveTo(element);
            break;
        case QPainterPath::LineToElement:
            path.lineTo(element);
            break;
        case QPainterPath::CurveToElement:
            // A curve's two control points follow it as data elements.
            if (i + 2 < cgPath.elementCount()) {
                path.cubicTo(element, cgPath.elementAt(i + 1), cgPath.elementAt(i + 2));
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
}

bool qv_usesEvenOddFillRule(const QPainterPath &path)
{
    return path.fillRule() == Qt::OddEvenFill;
}

void setQv_usesEvenOddFillRule(QPainterPath &path, bool evenOdd)
{
    path.setFillRule(evenOdd ? Qt::OddEvenFill : Qt::WindingFill);
}
