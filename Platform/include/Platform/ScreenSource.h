#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <functional>

#include "PlatformExport.h"
#include "VideoFrame.h"

namespace Platform {

// Where the displays are. The main display is the one the desktop treats as
// primary (the one with the panel), in pixels.
class PLATFORM_EXPORT DisplayInfo {
public:
    virtual ~DisplayInfo() = default;
    // The main display's rectangle in the desktop's pixel space; empty when
    // there is no display.
    virtual QRect mainDisplayBounds() = 0;
};

struct ScreenCaptureOptions {
    int fps = 20;                 // at most this many frames per second
    bool showCursor = true;       // draw the pointer into the frames
    bool dropDuplicates = true;   // deliver a frame only when the picture changed
    // Frames handed out and still held anywhere (the source's own last one,
    // kept to find duplicates, counts), at most; a tick that finds that many
    // held captures nothing, so a consumer that falls behind gets fewer,
    // fresher frames and the memory stays bounded. 0: no bound.
    int maxFramesHeld = 0;
};

// Captures the main display. Frames reach the handler on the source's own
// capture thread, one at a time and in order.
class PLATFORM_EXPORT ScreenSource : public DisplayInfo {
public:
    using FrameHandler = std::function<void(VideoFramePtr)>;
    // A capture that ends on its own (the display went away) says why, once,
    // on the capture thread; no frame follows. stop() is still needed.
    using FailureHandler = std::function<void(const QString &reason)>;

    // Starts capturing; false when the display cannot be captured (there is
    // none, its pixels are not 32-bit, or its main screen has no area). A
    // running capture is stopped first.
    virtual bool start(const ScreenCaptureOptions &options, FrameHandler handler, FailureHandler onFailure) = 0;
    // Returns once the capture thread has ended; the handler is not called
    // afterwards. Frames already handed out stay valid.
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
};

} // namespace Platform
