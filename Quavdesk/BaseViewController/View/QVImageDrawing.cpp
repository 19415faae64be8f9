#include "BaseViewController/View/QVImageDrawing.h"

#include <algorithm>

namespace QVImageDrawing {

namespace {

QRectF centred(const QRectF &bounds, const QSizeF &size)
{
    return QRectF(bounds.center().x() - size.width() / 2, bounds.center().y() - size.height() / 2, size.width(),
                  size.height());
}

} // namespace

QSizeF logicalSize(const QPixmap &image)
{
    if (image.isNull())
        return QSizeF();
    return QSizeF(image.size()) / image.devicePixelRatio();
}

QRectF proportionallyDown(const QRectF &bounds, const QSizeF &imageSize)
{
    if (imageSize.isEmpty())
        return QRectF();
    if (imageSize.width() <= bounds.width() && imageSize.height() <= bounds.height())
        return centred(bounds, imageSize);
    return aspectFit(bounds, imageSize);
}

QRectF aspectFit(const QRectF &bounds, const QSizeF &imageSize)
{
    if (imageSize.isEmpty())
        return QRectF();
    const qreal scale = std::min(bounds.width() / imageSize.width(), bounds.height() / imageSize.height());
    return centred(bounds, imageSize * scale);
}

QRectF aspectFill(const QRectF &bounds, const QSizeF &imageSize)
{
    if (imageSize.isEmpty())
        return QRectF();
    const qreal scale = std::max(bounds.width() / imageSize.width(), bounds.height() / imageSize.height());
    return centred(bounds, imageSize * scale);
}

} // namespace QVImageDrawing
