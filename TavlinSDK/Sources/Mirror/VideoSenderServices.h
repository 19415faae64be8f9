#pragma once

#include <functional>
#include <memory>

#include "Platform/H264Encoder.h"
#include "Platform/PlatformServices.h"
#include "Platform/ScreenSource.h"

// Intervals of the video senders, in milliseconds.
struct VideoSenderTimings {
    int connectTimeoutMs = 6000;    // the video connection's connect time-out
    int resizeRestartDelayMs = 50;  // capture restarts this long after a re-size
};

// What a video sender needs from the system. fromPlatform() gives the real
// screen and encoder; tests hand in fakes.
struct VideoSenderServices {
    std::function<std::unique_ptr<Platform::ScreenSource>()> makeScreenSource;
    std::function<std::unique_ptr<Platform::H264Encoder>()> makeEncoder;
    VideoSenderTimings timings;
    // The capture-session road stops encoding while any write waits on the
    // video socket. The display-stream road encodes every frame, up to this
    // many waiting writes: a receiver that stops reading must not make the
    // queue grow without end.
    int maxQueuedWrites = 30;
    // Pictures between the grab and their conversion, with the last one kept
    // to find duplicates (and, on the display-stream road, to repeat a still
    // screen): the one being converted and one grabbed meanwhile. A capture
    // that finds this many held grabs nothing: each is a screen's worth of
    // shared memory, and a picture that would wait behind two others is
    // late anyway.
    int maxFramesHeld = 3;
    // Past the drop rules of both roads, a hard bound on the bytes waiting on
    // the video socket, far above one key frame (which can pass 2 MiB): a
    // receiver that stops reading ends the video connection rather than
    // growing the queue without end.
    qint64 maxQueuedBytes = 64 * 1024 * 1024;
    // Called on the media thread when a coded picture's packet has been handed to the video socket; for benchmarks.
    std::function<void(qint64 captureTimeMs, qint64 writtenTimeMs)> frameWritten;

    static VideoSenderServices fromPlatform(const Platform::PlatformServices &platform);
};
