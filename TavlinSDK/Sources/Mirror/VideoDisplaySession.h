#pragma once

#include <atomic>

#include "Mirror/VideoSenderBase.h"

class DisplayStreamPacer;

// The video sender of the display-stream road (every CPU brand but "Apple").
// Frames go from the capture thread to the media thread, at most two waiting
// (a stream with a queue depth of two lets newer ones go while two wait);
// every one is encoded there, key frames are forced until the first result,
// and on a still screen the last frame is encoded again on every tick of the
// repeat timer from the third tick on. The bit rate follows the frame height.
class VideoDisplaySession final : public VideoSenderBase {
    Q_OBJECT
public:
    VideoDisplaySession(DevicePtr device, VideoSenderServices services, MediaThread &media,
                        QObject *parent = nullptr);
    ~VideoDisplaySession() override;

    // The road's encoder rates for a picture `height` pixels high.
    static EncoderRates encoderRatesForHeight(qint64 height);

    bool isCpuBrandOfApple() const { return false; }
    // Tag of the last packet write; 0 at each start. Any thread.
    qint64 currentSockTag() const { return m_currentSockTag.load(); }

protected:
    EncoderRates encoderRates() const override;
    void captureOutput(const Platform::VideoFramePtr &frame, const CaptureContext &context) override;
    void captureWillStart(const CaptureContext &context) override;
    void captureWillStop(bool running) override;
    void writePacket(GCDAsyncSocket &socket, quint16 type, const QByteArray &payload) override;
    void logStartMirror() override;
    void logStopMirror() override;
    void configureConnectedSocket(GCDAsyncSocket &socket) override;
    void linkMade() override;
    void linkWillGo() override;

private:
    DisplayStreamPacer *m_pacer = nullptr; // on the media thread
    std::atomic<qint64> m_currentSockTag{0};
};
