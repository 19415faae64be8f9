#pragma once

#include <QTimer>
#include <atomic>

#include "Mirror/VideoSenderBase.h"

// The video sender of the display-stream road (every CPU brand but "Apple").
// Frames reach the main thread, at most two waiting; every one is encoded,
// key frames are forced until the first result, and on a still screen the
// last frame is encoded again on every tick of the repeat timer from the third
// tick on. The bit rate follows the frame height.
class VideoDisplaySession final : public VideoSenderBase {
    Q_OBJECT
public:
    static inline const QString kEncoderNotificationName = QStringLiteral("changeEncoderAttributeRelated");

    VideoDisplaySession(DevicePtr device, VideoSenderServices services, QObject *parent = nullptr);
    ~VideoDisplaySession() override;

    QString encoderNotificationName() const override { return kEncoderNotificationName; }
    bool isCpuBrandOfApple() const { return false; }
    // Tag of the last packet write; 0 at each start.
    qint64 currentSockTag() const { return m_currentSockTag; }

protected:
    EncoderRates encoderRates() const override;
    void captureOutput(const Platform::VideoFramePtr &frame, const CaptureContext &context) override;
    void captureDidStart() override;
    void captureWillStop(bool running) override;
    void sendBytes(quint16 type, const QByteArray &payload) override;
    void logStartMirror() override;
    void logStopMirror() override;
    void configureConnectedSocket() override;
    void videoCompressionSessionDidEncodeSampleBuffer(VTPCompressionSession *session,
                                                      const VTPSampleBufferRef &sampleBuffer) override;

private:
    void displayStreamFrame(quint64 generation, const Platform::VideoFramePtr &frame);
    void CaptureTimeout();
    void submit(const Platform::VideoFramePtr &frame);

    static constexpr int kQueueDepth = 2;

    Platform::VideoFramePtr m_currentSurface;
    qint64 m_captureScreenTimout = 0;
    QTimer m_captureScreenTimer;
    qint64 m_currentSockTag = 0;
    std::atomic<int> m_framesWaiting{0};
};
