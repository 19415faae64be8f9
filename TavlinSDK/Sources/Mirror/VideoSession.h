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
    static inline const QString kEncoderNotificationName = QStringLiteral("changeEncoderAttributeRelatedForM1");

    // With this system's screen and encoder.
    VideoSession(DevicePtr device, VideoSenderServices services, QObject *parent = nullptr);
    ~VideoSession() override;

    QString encoderNotificationName() const override { return kEncoderNotificationName; }

protected:
    EncoderRates encoderRates() const override { return {6710886, 1048576}; }
    void captureOutput(const Platform::VideoFramePtr &frame, const CaptureContext &context) override;
    void captureDidStart() override;
    void captureWillStop(bool running) override;
    void writePacket(GCDAsyncSocket &socket, quint16 type, const QByteArray &payload) override;
    void pictureReady(const VTPSampleBuffer &picture) override;
    void logStopMirror() override;
};
