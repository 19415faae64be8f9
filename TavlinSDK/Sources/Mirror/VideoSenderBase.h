#pragma once

#include <QObject>
#include <QSize>
#include <QTimer>
#include <QVariant>
#include <atomic>
#include <climits>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "Device/Device.h"
#include "Mirror/VideoSenderServices.h"
#include "Socket/GCDAsyncSocket.h"
#include "TavlinExport.h"
#include "VideoToolBox/VTPCompressionSession.h"

// The video sender of a cast: the main display captured, encoded to H.264 and
// sent to the receiver's video port (TCP 51030 or its dynamic replacement) as
// 128-byte-header packets. Two capture roads share this frame: VideoSession
// and VideoDisplaySession. Lives on the main thread; capture and encoding run
// on their own threads, which are stopped and joined before anything they use
// goes away.
class VideoSenderBase : public QObject,
                                      protected GCDAsyncSocketDelegate,
                                      protected VTPCompressionSessionDelegate {
    Q_OBJECT
public:
    // Values of the status callback (the cast's MirrorSocketStatus).
    static constexpr qint32 kStatusOther = -1;
    static constexpr qint32 kStatusConnectTimeout = -6;
    static constexpr qint32 kStatusClosedByServer = -7;

    ~VideoSenderBase() override;

    // Connects the video socket to the receiver.
    void startMrror();
    // Closes the video socket at once, also while it is still connecting,
    // and ends capture; no status follows, and the sender starts nothing
    // more.
    void stopMirror();
    void setMonitorCallback(std::function<void(qint32)> callback);
    // Capture goes on; encoding and sending stop while paused.
    void setPauseResumeMark(bool pause);
    bool pauseCast() const { return m_pauseCast; }
    void setPauseCast(bool pause) { m_pauseCast = pause; }
    // True while the video socket exists (until its end has been handled).
    bool isBusy() const { return m_videoSocket != nullptr; }

    // The receiver asks for another encoder size: a map of "encoder_width",
    // "encoder_height" and "encoder_fps" (decimal strings).
    void changeEncoderAttributeRelated(const QVariant &object);

    qint64 screenWidth() const { return m_screenWidth; }
    qint64 screenHeight() const { return m_screenHeight; }
    qint64 fps() const { return m_fps; }
    bool isCapturing() const { return m_capturing; }
    // The encoder-size notification this road observes.
    virtual QString encoderNotificationName() const = 0;

protected:
    // What the capture thread of one capture works with: both outlive that
    // capture, which is stopped and joined before either changes.
    struct CaptureContext {
        quint64 generation = 0; // of this capture; later ones count higher
        GCDAsyncSocket *socket = nullptr;
        VTPCompressionSession *encoder = nullptr;
    };
    struct EncoderRates {
        qint32 averageBitrate = 0; // bits per second
        qint64 limitBytes = 0;     // at most this many bytes in one second
    };

    VideoSenderBase(DevicePtr device, VideoSenderServices services, int sizeMultiple, QObject *parent);

    // Both roads start, stop and join their capture here: one capture at a
    // time, a new encoder with each, the capture thread joined before the
    // encoder it feeds is finished. Roads that stop capture in their
    // destructor do so before their own members go.
    void startScreenCapture();
    void stopScreenCapture();

    // The road's encoder set-up at the current size.
    virtual EncoderRates encoderRates() const = 0;
    // On the capture thread, for every picture of the capture of `context`.
    virtual void captureOutput(const Platform::VideoFramePtr &frame, const CaptureContext &context) = 0;
    // On the main thread, once a capture runs, and before one ends.
    virtual void captureDidStart() {}
    virtual void captureWillStop(bool /*running*/) {}
    // Frames one payload and writes it on the video socket.
    virtual void sendBytes(quint16 type, const QByteArray &payload) = 0;
    virtual void logStartMirror() {}
    virtual void logStopMirror() = 0;
    virtual void configureConnectedSocket() {}

    // A new compression session at the current size with the road's rates.
    std::unique_ptr<VTPCompressionSession> makeEncoder(qint32 averageBitrate, qint64 limitBytes);
    QSize screenPixelSize();
    // The generation of the running capture (0 before the first).
    quint64 captureGeneration() const { return m_generation; }
    void setTcpNoDelay();

    // Submits a picture to the encoder; from any thread.
    void encodeFrame(VTPCompressionSession *encoder, const Platform::VideoFramePtr &frame, qint64 pts,
                     qint64 duration, bool forceKeyframe);
    // Encoded results: parameter sets before the first frame of a capture.
    void sendEncodedFrame(const VTPSampleBufferRef &sampleBuffer);
    void videoCompressionSessionDidDropSampleBuffer(VTPCompressionSession *session,
                                                    const VTPSampleBufferRef &sampleBuffer) override;

    // The video of this cast cannot go on (no connection, no capture, no
    // encoder): capture ends, the connection closes and the cast hears -1
    // once, from the event loop, instead of staying live without a picture.
    void failCast(const QString &reason);
    // The same from the capture thread of the capture `generation`.
    void failCastFromCaptureThread(quint64 generation, const QString &reason);

    void socketDidConnectToHost(GCDAsyncSocket *sock, const QString &host, quint16 port) override;
    void socketDidDisconnect(GCDAsyncSocket *sock, const OptionalTavlinError &error) override;

    DevicePtr m_device;
    VideoSenderServices m_services;
    std::unique_ptr<Platform::ScreenSource> m_screenSource;
    GCDAsyncSocket *m_videoSocket = nullptr;
    std::unique_ptr<VTPCompressionSession> m_encoder;
    std::function<void(qint32)> m_monitorblock;
    std::atomic<bool> m_pauseCast{false};
    std::atomic<bool> m_firstFrame{false};
    bool m_capturing = false;
    bool m_stopped = false;
    bool m_failed = false;
    qint64 m_screenWidth = 0;
    qint64 m_screenHeight = 0;
    qint64 m_fps = 20;

private slots:
    void onNotificationPosted(const QString &name, const QVariant &object);

private:
    void restartCaptureAfterResize();
    void releaseSocket();
    void reportLater(qint32 status);
    std::optional<qint64> captureTimeOf(qint64 pts);

    // Capture times of the pictures in the encoder, by their time stamps,
    // while someone listens to frameWritten.
    static constexpr size_t kMaxCaptureTimes = 64;
    std::mutex m_captureTimesMutex;
    std::deque<std::pair<qint64, qint64>> m_captureTimes;
    qint64 m_lastSubmittedPts = LLONG_MIN / 2;

    QTimer m_restartTimer;
    quint64 m_generation = 0;
};

// The sender of the road the CPU brand chooses: VideoSession when the brand is
// exactly "Apple", VideoDisplaySession otherwise.
std::unique_ptr<VideoSenderBase> makeVideoSenderForCpuBrand(const DevicePtr &device,
                                                                          const VideoSenderServices &services);
