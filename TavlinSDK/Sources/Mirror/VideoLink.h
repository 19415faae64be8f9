#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <climits>
#include <deque>
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
    // Any thread, just before a picture goes to the encoder: the time stamp
    // to submit it with, given the submission time `pts` and the picture's
    // capture time, which waits here for the coded picture while someone
    // listens to frameWritten.
    qint64 stampForEncoder(qint64 pts, qint64 captureTimeMs);

protected:
    void socketDidConnectToHost(GCDAsyncSocket *sock, const QString &host, quint16 port) override;
    void socketDidDisconnect(GCDAsyncSocket *sock, const OptionalTavlinError &error) override;
    void videoCompressionSessionDidEncodeSampleBuffer(VTPCompressionSession *session,
                                                      const VTPSampleBufferRef &sampleBuffer) override;
    void videoCompressionSessionDidDropSampleBuffer(VTPCompressionSession *session,
                                                    const VTPSampleBufferRef &sampleBuffer) override;

private:
    std::optional<qint64> captureTimeOf(qint64 pts);

    Hooks m_hooks;
    GCDAsyncSocket *m_socket = nullptr;
    VTPCompressionSession *m_encoder = nullptr;
    quint64 m_generation = 0;
    bool m_firstPicture = true;
    bool m_ended = false;

    // Capture times of the pictures in the encoder, by their time stamps. A
    // few are in the encoder at a time; the bound only matters when results
    // stop coming (an encoder that drops everything).
    static constexpr size_t kMaxCaptureTimes = 64;
    std::mutex m_timesMutex;
    std::deque<std::pair<qint64, qint64>> m_captureTimes;
    qint64 m_lastSubmittedPts = LLONG_MIN / 2;
};
