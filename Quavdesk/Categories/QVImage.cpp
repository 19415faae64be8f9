#include "Categories/QVImage.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace {

// Lossless and always built into Qt (TIFF needs an extra plugin).
constexpr const char *kLosslessFormat = "png";

// A copy of the bitmap to draw on, in the image's own points. The original
// made its canvas at the size divided by the deepest screen's scale and
// then drew at that scale, which comes to the image's own pixels; working
// in those directly also keeps a machine without screens (scale 0) from
// dividing by zero.
QImage canvasOf(const QImage &image)
{
    QImage canvas = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(image.devicePixelRatio());
    return canvas;
}

QString expandedTilde(const QString &path)
{
    if (path == QLatin1String("~"))
        return QDir::homePath();
    if (path.startsWith(QLatin1String("~/")))
        return QDir::homePath() + path.mid(1);
    return path;
}

} // namespace

QImage qv_CGImage(const QImage &image)
{
    if (image.isNull())
        return QImage();
    return canvasOf(image);
}

QByteArray qv_imageData(const QImage &image)
{
    if (image.isNull())
        return QByteArray();
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, kLosslessFormat);
    if (!writer.write(image))
        return QByteArray();
    return data;
}

QImage qv_bitmapImageRep(const QImage &image)
{
    const QByteArray data = qv_imageData(image);
    if (data.isEmpty())
        return QImage();
    QImage bitmap = QImage::fromData(data, kLosslessFormat);
    bitmap.setDevicePixelRatio(image.devicePixelRatio());
    return bitmap;
}

QVariantMap qv_croppedImageInRect(const QImage &image, const QRect &rect)
{
    // A rectangle reaching past the image is cut to it, as cropping a
    // bitmap does; one that misses it gives a null image rather than none.
    const QRect inside = rect.intersected(image.rect());
    const QImage sub = inside.isEmpty() ? QImage() : qv_CGImage(image).copy(inside);
    return QVariantMap{
        {QVSubImageKey, sub},
        {QVCroppedImageKey, qv_createImageWithColor(image, Qt::white, rect)},
    };
}

QImage qv_blendImage(const QImage &image, const QImage &other, const QRectF &rect)
{
    if (image.isNull())
        return QImage();
    QImage canvas = canvasOf(image);
    if (other.isNull())
        return canvas;
    // The image's drawing context counts y upwards from the bottom edge.
    const qreal height = canvas.deviceIndependentSize().height();
    const QRectF target(rect.x(), height - rect.y() - rect.height(), rect.width(), rect.height());
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(target, other);
    painter.end();
    return canvas;
}

QImage qv_createImageWithColor(const QImage &image, const QColor &color, const QRectF &rect)
{
    if (image.isNull())
        return QImage();
    QImage canvas = canvasOf(image);
    QPainter painter(&canvas);
    painter.fillRect(rect, color);
    painter.end();
    return canvas;
}

bool qv_saveImageWithPath(const QImage &image, const QString &path, double compression)
{
    const QImage bitmap = qv_bitmapImageRep(image);
    if (bitmap.isNull() || path.isEmpty())
        return false;
    QSaveFile file(expandedTilde(path));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, "jpeg");
    const float factor = std::isfinite(compression) ? static_cast<float>(std::clamp(compression, 0.0, 1.0)) : 1.0f;
    writer.setQuality(static_cast<int>(std::lround(factor * 100.0f)));
    if (!writer.write(bitmap)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QImage qv_resize(const QImage &image, const QSize &size)
{
    if (image.isNull() || size.isEmpty())
        return QImage();
    QImage resized(size, QImage::Format_ARGB32_Premultiplied);
    if (resized.isNull())
        return QImage();
    resized.fill(Qt::transparent);
    QPainter painter(&resized);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // From premultiplied pixels: scaling a straight-alpha image in the copy
    // mode would multiply its alpha in twice.
    const QImage source = canvasOf(image);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), source, QRectF(source.rect()));
    painter.end();
    return resized;
}
