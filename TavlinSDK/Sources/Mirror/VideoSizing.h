#pragma once

#include <QSize>

// The encoder sizes of the capture roads. The arithmetic is single precision
// throughout, so every size matches the receivers' expectations exactly.
namespace VideoSizing {

// The encoder size for a screen of `screenPixels`: kept when it has at most
// 1920 x 1080 pixels, else scaled to fit 1920 x 1080 (1080 x 1920 for a
// portrait screen); each side then rounded up to a multiple of `multiple`.
QSize startSize(QSize screenPixels, int multiple);

// The encoder size for the receiver's request of `requested` pixels on a
// screen of `screenPixels`: the screen scaled to fit the request when the
// request is smaller, else the screen's own size; rounded up to even sides.
QSize fittedSize(QSize requested, QSize screenPixels);

// `value` rounded up to a multiple of `multiple` (a power of two).
constexpr int roundUp(int value, int multiple)
{
    return (value + multiple - 1) & ~(multiple - 1);
}

} // namespace VideoSizing
