#pragma once

#include <QObject>
#include <QSize>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

#include "Device/Device.h"
#include "Mirror/EncoderSizeRequest.h"
#include "Mirror/MediaThread.h"
#include "Mirror/VideoLink.h"
#include "Mirror/VideoSenderServices.h"
#include "VideoToolBox/VTPCompressionSession.h"

// The video sender of a cast: the main display captured, encoded to H.264 and
// sent to the receiver's video port (TCP 51030 or its dynamic replacement) as
// 128-byte-header packets. Two capture roads share this frame: VideoSession
// and VideoDisplaySession.
//
// The sender lives on the main thread and decides (start, stop, re-size,
// failures); the pictures never come here. Capture runs on the screen
// source's thread, conversion and encoding on the encoder's, and the coded
// pictures go from the encoder straight to the media thread (the cast's, held
// by its owner), where the sender's VideoLink owns the connection. Threads
// are stopped and joined before anything they use goes away; the link's
// status reaches the sender by queued calls, which die with it.
class VideoSenderBase : public QObject {
    Q_OBJECT
public:
    // A road's encoder set-up.
    struct EncoderRates {
        qint32 averageBitrate = 0; // bits per second
        qint64 limitBytes = 0;     // at most this many bytes in one second
    };

    // Values of the status callback (the cast's MirrorSocketStatus).
    static constexpr qint32 kStatusOther = -1;
    static constexpr qint32 kStatusConnectTimeout = -6;
    static constexpr qint32 kStatusClosedByServer = -7;

    ~VideoSenderBase() override;

    // Connects the video socket to the receiver; the media thread runs.
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
    // True while the video connection is in use (until its end has been
    // handled here).
    bool isBusy() const { return m_linkBusy; }
    // Ends capture, the encoder and the connection for good and lets go of
    // everything the sender keeps on the media thread, which may stop
    // afterwards. No status follows, and the sender starts nothing more.
    void endMedia();

    // The receiver asks for another encoder size.
    void changeEncoderAttributeRelated(const EncoderSizeRequest &request);

    qint64 screenWidth() const { return m_screenWidth; }
    qint64 screenHeight() const { return m_screenHeight; }
    qint64 fps() const { return m_fps; }
    bool isCapturing() const { return m_capturing; }

protected:
    // What the capture thread of one capture works with: both outlive that
    // capture, which is stopped and joined before either changes.
    struct CaptureContext {
        quint64 generation = 0; // of this capture; later ones count higher
        VideoLink *link = nullptr;
        VTPCompressionSession *encoder = nullptr;
    };

    VideoSenderBase(DevicePtr device, VideoSenderServices services, MediaThread &media, int sizeMultiple,
                    QObject *parent);

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
    // On the main thread: before the screen source of a capture starts (the
    // encoder is ready), once it runs, and before one ends.
    virtual void captureWillStart(const CaptureContext & /*context*/) {}
    virtual void captureDidStart() {}
    virtual void captureWillStop(bool /*running*/) {}
    // On the media thread: frames one payload and writes it on the socket.
    virtual void writePacket(GCDAsyncSocket &socket, quint16 type, const QByteArray &payload) = 0;
    // On the media thread, for every coded picture before it goes out.
    virtual void pictureReady(const VTPSampleBuffer & /*picture*/) {}
    // On the media thread, once connected.
    virtual void configureConnectedSocket(GCDAsyncSocket & /*socket*/) {}
    virtual void logStartMirror() {}
    virtual void logStopMirror() = 0;
    // On the main thread: the link has been made on the media thread (at the
    // first start), and it is about to go; the road makes and lets go of what
    // it keeps there beside it.
    virtual void linkMade() {}
    virtual void linkWillGo() {}

    // The roads' destructors end their media too, before their own members
    // go, so nothing calls into the road afterwards.
    MediaThread &media() { return m_media; }
    VideoLink *link() const { return m_link; }

    // A new compression session at the current size with the road's rates.
    std::unique_ptr<VTPCompressionSession> makeEncoder(qint32 averageBitrate, qint64 limitBytes);
    QSize screenPixelSize();
    // The generation of the running capture (0 before the first).
    quint64 captureGeneration() const { return m_generation; }
    static void setTcpNoDelay(GCDAsyncSocket &socket);

    // The video of this cast cannot go on (no connection, no capture, no
    // encoder): capture ends, the connection closes and the cast hears -1
    // once, from the event loop, instead of staying live without a picture.
    void failCast(const QString &reason);
    // The same from the capture thread of the capture `generation`.
    void failCastFromCaptureThread(quint64 generation, const QString &reason);

    DevicePtr m_device;
    VideoSenderServices m_services;
    std::unique_ptr<Platform::ScreenSource> m_screenSource;
    std::unique_ptr<VTPCompressionSession> m_encoder;
    std::function<void(qint32)> m_monitorblock;
    std::atomic<bool> m_pauseCast{false};
    bool m_capturing = false;
    bool m_stopped = false;
    bool m_failed = false;
    qint64 m_screenWidth = 0;
    qint64 m_screenHeight = 0;
    qint64 m_fps = 20;

private:
    VideoLink::Hooks linkHooks();
    void restartCaptureAfterResize();
    void reportLater(qint32 status);
    // Status from the link, on the main thread.
    void linkConnected();
    void linkEnded(std::optional<qint32> status);
    // Runs `task` on the media thread with the link, when there is one.
    void withLink(const std::function<void(VideoLink &)> &task);

    MediaThread &m_media;
    VideoLink *m_link = nullptr;
    bool m_linkBusy = true;
    QTimer m_restartTimer;
    quint64 m_generation = 0;
};

// The sender of the capture-session road (VideoSession) or of the
// display-stream road (VideoDisplaySession), on the cast's media thread.
std::unique_ptr<VideoSenderBase> makeVideoSender(bool captureSessionRoad, const DevicePtr &device,
                                                 const VideoSenderServices &services, MediaThread &media);
// The sender of the road the CPU brand chooses: VideoSession when the brand is
// exactly "Apple", VideoDisplaySession otherwise.
std::unique_ptr<VideoSenderBase> makeVideoSenderForCpuBrand(const DevicePtr &device,
                                                            const VideoSenderServices &services, MediaThread &media);
