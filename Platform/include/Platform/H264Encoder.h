#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

#include "PlatformExport.h"
#include "VideoFrame.h"

namespace Platform {

enum class H264Profile { Automatic, Baseline, Main, High };
enum class H264EntropyMode { Automatic, CAVLC, CABAC };

// What the encoder is opened with. Zero means "the encoder's own choice".
struct H264EncoderConfig {
    int width = 0;                    // coded size in pixels (even)
    int height = 0;
    int fps = 20;                     // expected frame rate
    qint64 maxKeyframeInterval = 0;   // frames between key frames
    double maxKeyframeIntervalDuration = 0; // seconds between key frames
    bool allowTemporalCompression = true;   // false: every frame a key frame
    bool allowFrameReordering = true;       // false: no B-frames
    qint64 averageBitrate = 0;        // bits per second
    qint64 dataRateLimitBytes = 0;    // at most this many bytes ...
    double dataRateLimitSeconds = 0;  // ... in this many seconds
    bool realtime = false;
    int maxFrameDelayCount = -1;      // -1: no limit
    H264Profile profile = H264Profile::Automatic;
    H264EntropyMode entropyMode = H264EntropyMode::Automatic;
};

// One coded picture. `data` holds its NAL units, each behind a 4-byte
// big-endian length (the form of an MP4 sample); `sps` and `pps` are the
// stream's parameter sets without any prefix.
struct H264EncodedFrame {
    QByteArray data;
    QByteArray sps;
    QByteArray pps;
    bool keyframe = false;
    qint64 pts = 0;       // milliseconds, as submitted
    qint64 duration = 0;  // milliseconds, as submitted
};

// A picture on its way from an encoder's conversion to its coding, in
// whatever form the encoder codes from. Made by the encoder once it is open
// and reused picture after picture.
class H264Picture {
public:
    virtual ~H264Picture() = default;
};

// A software H.264 encoder. Frames of any size are scaled to the coded size.
//
// One thread opens it, and closes it when nothing else runs. In between it is
// used either in one stage (encode) or in two (convert, then encodePicture),
// so that the next frame can be converted while the one before it is coded:
// convert() may run on one thread while encodePicture(), reconfigure() and
// flush() run on another; neither stage itself is reentrant.
class PLATFORM_EXPORT H264Encoder {
public:
    virtual ~H264Encoder() = default;

    virtual bool open(const H264EncoderConfig &config, QString *error) = 0;
    // Applies rate-control changes (bit rate, data-rate limit) to an open encoder.
    virtual bool reconfigure(const H264EncoderConfig &config) = 0;
    // Encodes one frame; coded pictures that are ready are appended to `out`.
    virtual bool encode(const VideoFrame &frame, qint64 pts, qint64 duration, bool forceKeyframe,
                        std::vector<H264EncodedFrame> &out) = 0;
    // Drains every picture the encoder still holds.
    virtual bool flush(std::vector<H264EncodedFrame> &out) = 0;
    // Pictures submitted but not yet returned.
    virtual int delayedFrames() const = 0;
    virtual void close() = 0;

    // --- Two-stage form ---
    // An encoder that does not convert apart keeps the frame and codes it in
    // encodePicture(); the frame then lives until its picture is coded.
    virtual std::unique_ptr<H264Picture> makePicture() { return std::make_unique<HeldFrame>(); }
    // Turns the frame into the picture; false when it cannot.
    virtual bool convert(const VideoFramePtr &frame, H264Picture &picture)
    {
        auto &held = static_cast<HeldFrame &>(picture);
        held.frame = frame;
        return frame && frame->isValid();
    }
    // Codes a converted picture; ready coded pictures are appended to `out`.
    virtual bool encodePicture(H264Picture &picture, qint64 pts, qint64 duration, bool forceKeyframe,
                               std::vector<H264EncodedFrame> &out)
    {
        auto &held = static_cast<HeldFrame &>(picture);
        const VideoFramePtr frame = std::move(held.frame);
        return frame && encode(*frame, pts, duration, forceKeyframe, out);
    }

private:
    struct HeldFrame final : H264Picture {
        VideoFramePtr frame;
    };
};

} // namespace Platform
