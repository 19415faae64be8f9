#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

#include "Socket/GCDAsyncSocket.h"
#include "VideoToolBox/VTPCompressionSession.h"

// The media-thread half of a video sender: it owns the video connection,
// takes the encoder's results there (the encoder's delegate queue is this
// object), frames them and writes them. What the owner on the main thread
// must know goes through the status hooks, which the owner forwards by
// queued calls.
//
// Made and destroyed on the media thread; every method but the two marked
// otherwise runs there.
class VideoLink : public QObject, public GCDAsyncSocketDelegate, public VTPCompressionSessionDelegate {
public:
    // User values of the socket: live, closed by this side, and closed
    // because the video cannot go on (reported as a failure, -1).
    static constexpr qint64 kSocketLive = 0;
    static constexpr qint64 kSocketClosedHere = 1;
    static constexpr qint64 kSocketFailedHere = 2;

    struct Hooks {
        // The road's framing of one payload on the socket.
        std::function<void(GCDAsyncSocket &socket, quint16 type, const QByteArray &payload)> writePacket;
        // Socket options once connected (none by default).
        std::function<void(GCDAsyncSocket &socket)> configureConnected;
        // Every coded picture of the running capture, before it is framed.
        std::function<void(const VTPSampleBuffer &picture)> pictureReady;
        // After a coded picture's packet went to the socket: its capture time
        // and the time of the write, monotonic milliseconds.
        std::function<void(qint64 captureTimeMs, qint64 writtenTimeMs)> frameWritten;
        // Status for the owner: connected; the connection ended (with the
        // status the cast hears, or none for a close this side asked for);
        // the encoder of capture `generation` cannot encode.
        std::function<void()> connected;
        std::function<void(std::optional<qint32> status)> ended;
        std::function<void(quint64 generation)> encoderFailed;
    };

    VideoLink(Hooks hooks, qint64 maxQueuedBytes);
    ~VideoLink() override;

    bool connectToHost(const QString &host, quint16 port, int timeoutMs, TavlinError *error);
    // Closes the connection, also while connecting; its end is reported
    // through `ended`, as a failure when `failed`.
    void close(bool failed);
    bool isDisconnected() const;
    bool isConnected() const;

    // The encoder whose results go out from now on (none: results are
    // dropped); the next result is preceded by the parameter sets.
    void setEncoder(VTPCompressionSession *encoder, quint64 generation);
    // True until the first coded picture of the current encoder went out.
    bool awaitingFirstPicture() const { return m_firstPicture; }

    // Any thread, while the link lives: the writes waiting on the socket
    // behind the one in progress.
    qint64 queuedWrites() const { return m_socket->queneCount(); }
    // Any thread: the capture time of the picture submitted with time stamp
    // `pts`, for the written-frame hook.
    void noteCaptureTime(qint64 pts, qint64 captureTimeMs);

protected:
    void socketDidConnectToHost(GCDAsyncSocket *sock, const QString &host, quint16 port) override;
    void socketDidDisconnect(GCDAsyncSocket *sock, const OptionalTavlinError &error) override;
    void videoCompressionSessionDidEncodeSampleBuffer(VTPCompressionSession *session,
                                                      const VTPSampleBufferRef &sampleBuffer) override;
    void videoCompressionSessionDidDropSampleBuffer(VTPCompressionSession *session,
                                                    const VTPSampleBufferRef &sampleBuffer) override;

private:
    qint64 takeCaptureTime(qint64 pts);

    Hooks m_hooks;
    GCDAsyncSocket *m_socket = nullptr;
    VTPCompressionSession *m_encoder = nullptr;
    quint64 m_generation = 0;
    bool m_firstPicture = true;
    bool m_ended = false;

    // A few pictures are in the encoder at a time; a short ring is enough.
    struct CaptureTime {
        qint64 pts = -1;
        qint64 captureMs = 0;
    };
    std::mutex m_timesMutex;
    std::array<CaptureTime, 16> m_times{};
    size_t m_nextTime = 0;
};
