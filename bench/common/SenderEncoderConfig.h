#pragma once

// The settings the video sender gives its compression session, for the
// benchmarks that open x264 by themselves and must code as the cast does.

#include "Platform/H264Encoder.h"

namespace BenchEncoder {

inline Platform::H264EncoderConfig senderConfig(int width, int height, int fps, qint64 averageBitrate,
                                                qint64 limitBytes)
{
    Platform::H264EncoderConfig c;
    c.width = width;
    c.height = height;
    c.fps = fps;
    c.maxKeyframeInterval = 1440000;
    c.allowFrameReordering = false;
    c.averageBitrate = averageBitrate;
    c.dataRateLimitBytes = limitBytes;
    c.dataRateLimitSeconds = 1;
    c.realtime = true;
    c.maxFrameDelayCount = 1;
    c.profile = Platform::H264Profile::Main;
    return c;
}

} // namespace BenchEncoder
