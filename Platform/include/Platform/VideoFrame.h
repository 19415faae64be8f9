#pragma once

#include <QtGlobal>
#include <memory>

namespace Platform {

// One captured picture in 32-bit BGRA (blue in the lowest byte; the fourth
// byte carries no meaning). The pixels stay valid as long as the frame lives,
// whoever holds it and on whichever thread.
struct VideoFrame {
    const uchar *data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;          // bytes from one row to the next
    qint64 timestampMs = 0;  // monotonic milliseconds at capture
    std::shared_ptr<void> storage; // keeps `data` alive

    bool isValid() const { return data && width > 0 && height > 0 && stride >= width * 4; }
};

using VideoFramePtr = std::shared_ptr<const VideoFrame>;

} // namespace Platform
