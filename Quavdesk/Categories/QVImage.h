#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QVariantMap>

// Image helpers on QImage. An image's size in points is its pixel size
// divided by its device pixel ratio. Every operation answers a new image
// and leaves the receiver alone; a null image gives a null image (or an
// empty result). Main thread or not: they draw only into their own images.

// The image's bitmap, in a format every painter draws into.
QImage qv_CGImage(const QImage &image);
// The image losslessly encoded (PNG); empty for a null image.
QByteArray qv_imageData(const QImage &image);
// The bitmap read back from qv_imageData; null when there is no data.
QImage qv_bitmapImageRep(const QImage &image);

// Keys of qv_croppedImageInRect's answer.
inline const QString QVSubImageKey = QStringLiteral("subImage");
inline const QString QVCroppedImageKey = QStringLiteral("croppedImage");
// "subImage": the part of the bitmap inside `rect` (pixels, origin top
// left), cut to the image; a null image when they do not meet.
// "croppedImage": the image with `rect` filled white.
QVariantMap qv_croppedImageInRect(const QImage &image, const QRect &rect);

// The image with `other` drawn over it, scaled into `rect` (points, origin
// at the bottom left, as the image's own drawing context counts).
QImage qv_blendImage(const QImage &image, const QImage &other, const QRectF &rect);
// The image with `rect` (points, origin top left) painted in `color`.
QImage qv_createImageWithColor(const QImage &image, const QColor &color, const QRectF &rect);

// Writes the bitmap as JPEG at `compression` (0 smallest, 1 best) to `path`
// ("~" is the home folder) all at once or not at all; false when it cannot.
bool qv_saveImageWithPath(const QImage &image, const QString &path, double compression);

// A new image of `size` pixels with the whole image drawn scaled into it.
QImage qv_resize(const QImage &image, const QSize &size);
