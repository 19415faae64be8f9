#pragma once

#include "Mirror/VideoSenderBase.h"

// The video sender of the capture-session road (chosen when the CPU brand is
// "Apple"). Frames are handled on the capture thread and dropped while any
// write waits on the video socket, so a slow network lowers the frame rate
// instead of building a backlog. Between capture and encoding is only the
// encoder's own short queue: with the drop rule above it rarely holds more
// than one picture.
class VideoSession final : public VideoSenderBase {
    Q_OBJECT
public:
    // The road's encoder rates.
    static constexpr qint32 kAverageBitrate = 6710886;
    static constexpr qint64 kDataRateLimitBytes = 1048576;

    VideoSession(DevicePtr device, VideoSenderServices services, MediaThread &media, QObject *parent = nullptr);
    ~VideoSession() override;

protected:
    EncoderRates encoderRates() const override { return {kAverageBitrate, kDataRateLimitBytes}; }
    void captureOutput(const Platform::VideoFramePtr &frame, const CaptureContext &context) override;
    void captureDidStart() override;
    void captureWillStop(bool running) override;
    void writePacket(GCDAsyncSocket &socket, quint16 type, const QByteArray &payload) override;
    void pictureReady(const VTPSampleBuffer &picture) override;
    void logStopMirror() override;
};
