#include "Categories/QVLayerEffect.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <vector>

namespace {

// One pass of a box blur over the alpha-premultiplied pixels of `image`,
// along rows (`horizontal`) or columns.
void boxBlurPass(QImage &image, int radius, bool horizontal)
{
    const int width = image.width();
    const int height = image.height();
    const int lines = horizontal ? height : width;
    const int length = horizontal ? width : height;
    const int window = 2 * radius + 1;
    std::vector<QRgb> line(static_cast<size_t>(length));
    for (int l = 0; l < lines; ++l) {
        for (int i = 0; i < length; ++i)
            line[static_cast<size_t>(i)] = horizontal ? reinterpret_cast<const QRgb *>(image.constScanLine(l))[i]
                                                      : reinterpret_cast<const QRgb *>(image.constScanLine(i))[l];
        int sum[4] = {0, 0, 0, 0};
        const auto add = [&](int index, int sign) {
            if (index < 0 || index >= length)
                return;
            const QRgb p = line[static_cast<size_t>(index)];
            sum[0] += sign * qAlpha(p);
            sum[1] += sign * qRed(p);
            sum[2] += sign * qGreen(p);
            sum[3] += sign * qBlue(p);
        };
        for (int i = -radius; i <= radius; ++i)
            add(i, 1);
        for (int i = 0; i < length; ++i) {
            const QRgb out = qRgba(sum[1] / window, sum[2] / window, sum[3] / window, sum[0] / window);
            if (horizontal)
                reinterpret_cast<QRgb *>(image.scanLine(l))[i] = out;
            else
                reinterpret_cast<QRgb *>(image.scanLine(i))[l] = out;
            add(i - radius, -1);
            add(i + radius + 1, 1);
        }
    }
}

} // namespace

QVLayerEffect::QVLayerEffect(QObject *parent)
    : QGraphicsEffect(parent)
{
    setEnabled(false);
}

void QVLayerEffect::setOpacity(qreal opacity)
{
    m_opacity = qBound<qreal>(0.0, opacity, 1.0);
    refresh();
}

void QVLayerEffect::setCornerRadius(qreal radius)
{
    m_cornerRadius = qMax<qreal>(0.0, radius);
    refresh();
}

void QVLayerEffect::setMasksToBounds(bool masks)
{
    m_masksToBounds = masks;
    refresh();
}

void QVLayerEffect::setShadow(const QColor &color, const QPointF &offset, qreal radius)
{
    m_shadowColor = color;
    m_shadowOffset = offset;
    m_shadowRadius = qMax<qreal>(0.0, radius);
    updateBoundingRect();
    refresh();
}

bool QVLayerEffect::clips() const
{
    return m_masksToBounds && m_cornerRadius > 0;
}

bool QVLayerEffect::hasShadow() const
{
    return m_shadowColor.isValid() && m_shadowColor.alpha() > 0;
}

void QVLayerEffect::refresh()
{
    setEnabled(m_opacity < 1.0 || clips() || hasShadow());
    update();
}

QRectF QVLayerEffect::boundingRectFor(const QRectF &sourceRect) const
{
    if (!hasShadow())
        return sourceRect;
    const qreal r = std::ceil(m_shadowRadius);
    return sourceRect.united(sourceRect.translated(m_shadowOffset).adjusted(-r, -r, r, r));
}

void QVLayerEffect::draw(QPainter *painter)
{
    if (m_opacity <= 0)
        return;
    if (m_opacity >= 1.0 && !clips() && !hasShadow()) {
        drawSource(painter);
        return;
    }

    // The view and its children are drawn into one image first, so that the
    // opacity applies to them as a whole (overlaps do not show through) and
    // the corners can cut them all.
    const Qt::CoordinateSystem system = sourceIsPixmap() ? Qt::LogicalCoordinates : Qt::DeviceCoordinates;
    QPoint offset;
    const QPixmap source = sourcePixmap(system, &offset, QGraphicsEffect::NoPad);
    if (source.isNull())
        return;
    const QTransform toDevice = system == Qt::DeviceCoordinates ? painter->worldTransform() : QTransform();
    const qreal ratio = source.devicePixelRatio();
    QImage content = source.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    content.setDevicePixelRatio(ratio);

    if (clips()) {
        // Keep the content only where an antialiased rounded shape covers
        // it; a clip path would cut with hard edges.
        QPainterPath path;
        const QRectF bounds = sourceBoundingRect(Qt::LogicalCoordinates);
        path.addRoundedRect(bounds, m_cornerRadius, m_cornerRadius);
        path = toDevice.map(path).translated(-QPointF(offset));
        QImage shape(content.size(), QImage::Format_ARGB32_Premultiplied);
        shape.setDevicePixelRatio(ratio);
        shape.fill(Qt::transparent);
        {
            QPainter shapePainter(&shape);
            shapePainter.setRenderHint(QPainter::Antialiasing);
            shapePainter.fillPath(path, Qt::black);
        }
        QPainter clip(&content);
        clip.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        clip.drawImage(QPointF(0, 0), shape);
    }

    painter->save();
    if (system == Qt::DeviceCoordinates)
        painter->setWorldTransform(QTransform());
    painter->setOpacity(painter->opacity() * m_opacity);
    if (hasShadow()) {
        const QPointF shadowOffset = toDevice.map(m_shadowOffset) - toDevice.map(QPointF(0, 0));
        const qreal radius = m_shadowRadius * std::sqrt(std::abs(toDevice.determinant()));
        const int pad = static_cast<int>(std::ceil(radius * ratio));
        QImage shadow(content.width() + 2 * pad, content.height() + 2 * pad, QImage::Format_ARGB32_Premultiplied);
        shadow.fill(Qt::transparent);
        {
            QImage plain = content;
            plain.setDevicePixelRatio(1.0);
            QPainter tint(&shadow);
            tint.drawImage(QPoint(pad, pad), plain);
            tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
            tint.fillRect(shadow.rect(), m_shadowColor);
        }
        if (pad > 0) {
            // Three box passes each way come close to a Gaussian blur.
            const int boxRadius = qMax(1, pad / 3);
            for (int pass = 0; pass < 3; ++pass) {
                boxBlurPass(shadow, boxRadius, true);
                boxBlurPass(shadow, boxRadius, false);
            }
        }
        shadow.setDevicePixelRatio(ratio);
        painter->drawImage(QPointF(offset) + shadowOffset - QPointF(pad / ratio, pad / ratio), shadow);
    }
    painter->drawImage(QPointF(offset), content);
    painter->restore();
}
