#include "Mirror/VideoSizing.h"

#include <algorithm>

namespace VideoSizing {

QSize startSize(QSize screenPixels, int multiple)
{
    qint64 w = screenPixels.width();
    qint64 h = screenPixels.height();
    if (w * h > 1920 * 1080) {
        float sx;
        float sy;
        if (h < w) {
            sx = float(w) / 1920.0f;
            sy = float(h) / 1080.0f;
        } else {
            sy = float(h) / 1920.0f;
            sx = float(w) / 1080.0f;
        }
        const float s = std::max(sx, sy);
        h = qint64(float(h) / s);
        w = qint64(float(w) / s);
    }
    return QSize(roundUp(int(w), multiple), roundUp(int(h), multiple));
}

QSize fittedSize(QSize requested, QSize screenPixels)
{
    qint64 a = screenPixels.width();
    qint64 b = screenPixels.height();
    const qint64 rw = requested.width();
    const qint64 rh = requested.height();
    if (rw > 0 && rh > 0 && rw * rh < a * b) {
        float c;
        float d;
        if (b < a) {
            c = float(a) / float(rw);
            d = float(b) / float(rh);
        } else {
            c = float(a) / float(rh);
            d = float(b) / float(rw);
        }
        const float s = std::max(c, d);
        b = qint64(float(b) / s);
        a = qint64(float(a) / s);
    }
    return QSize(roundUp(int(a), 2), roundUp(int(b), 2));
}

} // namespace VideoSizing
