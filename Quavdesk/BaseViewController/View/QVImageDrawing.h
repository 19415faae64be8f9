#pragma once

#include <QPixmap>
#include <QRectF>
#include <QSizeF>

// Where an image lands in `bounds`, centred.
namespace QVImageDrawing {

// The image's logical size (device pixels over the pixel ratio).
QSizeF logicalSize(const QPixmap &image);
// At its own size, or scaled down to fit and keeping its proportions.
QRectF proportionallyDown(const QRectF &bounds, const QSizeF &imageSize);
// Scaled to fit inside, keeping its proportions.
QRectF aspectFit(const QRectF &bounds, const QSizeF &imageSize);
// Scaled to cover, keeping its proportions (the overflow is cut by the caller).
QRectF aspectFill(const QRectF &bounds, const QSizeF &imageSize);

} // namespace QVImageDrawing
