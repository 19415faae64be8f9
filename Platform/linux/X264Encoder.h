#pragma once

#include <deque>
#include <memory>

#include "Platform/H264Encoder.h"

struct x264_t;
struct x264_param_t;
struct SwsContext;

namespace Platform::Linux {

// H.264 through x264, with BGRA pictures converted to limited-range BT.709
// I420: by a plain integer loop when the picture has the coded size, which is
// the common case and a few times cheaper than libswscale, and by libswscale
// when it has to be scaled. Tuned for screen casting: veryfast preset, zero
// latency, no B-frames, parameter sets with every key frame, length-prefixed
// NAL units.
class X264Encoder final : public H264Encoder {
public:
    X264Encoder();
    ~X264Encoder() override;

    bool open(const H264EncoderConfig &config, QString *error) override;
    bool reconfigure(const H264EncoderConfig &config) override;
    bool encode(const VideoFrame &frame, qint64 pts, qint64 duration, bool forceKeyframe,
                std::vector<H264EncodedFrame> &out) override;
    bool flush(std::vector<H264EncodedFrame> &out) override;
    int delayedFrames() const override;
    void close() override;
    // The settings x264 runs with, as it reports them; false while closed.
    bool parameters(x264_param_t &out) const;

    std::unique_ptr<H264Picture> makePicture() override;
    bool convert(const VideoFramePtr &frame, H264Picture &picture) override;
    bool encodePicture(H264Picture &picture, qint64 pts, qint64 duration, bool forceKeyframe,
                       std::vector<H264EncodedFrame> &out) override;

private:
    struct Picture;
    bool convertFrame(const VideoFrame &frame, Picture &picture);
    bool prepareScaler(const VideoFrame &frame);
    void collect(void *nals, int nalCount, const void *pictureOut, int frameSize,
                 std::vector<H264EncodedFrame> &out);

    H264EncoderConfig m_config;
    x264_t *m_encoder = nullptr;
    // The conversion's side, used by one thread at a time.
    SwsContext *m_scaler = nullptr;
    int m_scalerWidth = 0;
    int m_scalerHeight = 0;
    // The coding's side.
    std::unique_ptr<Picture> m_picture; // what the one-stage form converts into, made on first use
    QByteArray m_sps;
    QByteArray m_pps;
    struct Timing {
        qint64 index; // the time stamp x264 was given
        qint64 pts;
        qint64 duration;
    };
    std::deque<Timing> m_timings; // submitted timing of the pictures in flight
    qint64 m_lastPts = 0;
    bool m_havePts = false;
};

} // namespace Platform::Linux
