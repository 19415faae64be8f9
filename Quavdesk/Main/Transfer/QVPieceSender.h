#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>

#include <chrono>
#include <memory>

#include "QVPieceAnswer.h"
#include "QVUploadPiece.h"

class QTcpSocket;
class QTimer;
class QVBufferPool;
namespace Support {
class SerialWorker;
}

// Sends upload pieces as HTTP/1.1 POSTs over a connection of its own, kept
// alive from piece to piece.
//
// Qt's network access hands a streamed request body to its HTTP thread 16 KiB
// per round trip between the two threads, with no more than 32 KiB queued on
// the socket: a 100 MiB piece took some 6,400 round trips, and on a busy
// machine the upload spent more time waiting for threads to be scheduled than
// sending. Here the piece goes from the file into the socket in large blocks,
// with a few MiB queued at most. The blocks are read from the file on the
// transfer's worker thread, so that a slow disk never holds the thread that
// owns the sender.
//
// The request's lines are the ones Qt's network access sends for the same
// request (the same host line, the caller's headers in their order, then
// Content-Length, Connection, Accept-Encoding, Accept-Language, User-Agent),
// so that the server sees the same request either way; only the encodings
// offered are the ones this sender can undo.
class QVPieceSender : public QObject
{
    Q_OBJECT
public:
    using HeaderList = QList<QPair<QByteArray, QByteArray>>;

    struct Outcome {
        // The answer's HTTP status; 0 when no whole answer came.
        int httpStatus = 0;
        // The answer's body, decoded when it came compressed.
        QByteArray body;
        // Why no answer came; empty when one did.
        QString error;
        // Every byte of the piece had left for the server when the answer
        // came (a server may answer before it has read the whole body).
        bool bodySent = false;
    };

    // Bytes of the piece read from the file at a time, and the most read
    // ahead or left queued on the socket.
    static constexpr qint64 kBlockBytes = 1024 * 1024;
    static constexpr qint64 kMaxQueuedBytes = 4 * kBlockBytes;

    // Reads the pieces' bytes on `worker`, which must outlive the sender's
    // posts (the owner joins it after the sender has stopped).
    explicit QVPieceSender(Support::SerialWorker *worker, QObject *parent = nullptr);
    ~QVPieceSender() override;

    // Posts `body` (opened) to `url`. One post at a time; `finished` follows
    // unless `abort` comes first. `transferTimeout` is idle time: every byte
    // sent or received starts it again.
    void post(const QUrl &url, const HeaderList &headers, QVUploadPiece *body,
              std::chrono::milliseconds transferTimeout);
    // Ends the post in flight without `finished`. Its connection goes with
    // it, so that nothing more of the body reaches the server.
    void abort();
    bool isBusy() const { return m_source != nullptr; }
    const Outcome &outcome() const { return m_outcome; }
    // Bounds of the answers read.
    void setAnswerLimits(const QVPieceAnswerParser::Limits &limits) { m_answerLimits = limits; }

    // The request line and headers `post` sends, up to the empty line.
    static QByteArray requestHead(const QUrl &url, const HeaderList &headers, qint64 contentLength);

signals:
    // `sent` bytes of the body have left for the server, of `total`.
    void uploadProgress(qint64 sent, qint64 total);
    void finished();

private:
    struct Link;

    void connectTo(const QUrl &url);
    void dropConnection();
    // The kept-alive connection can carry the next request: the server has
    // not closed it and sent nothing since the last answer.
    bool idleConnectionUsable() const;
    void startRequest();
    void fill();
    void onBlockRead(quint64 generation, qint64 position, QByteArray buffer, qint64 length);
    void onBytesWritten(qint64 bytes);
    void onReadyRead();
    void onClosed();
    void finish(const QString &error);
    void fail(const QString &error) { finish(error); }

    Support::SerialWorker *m_worker;
    std::shared_ptr<QVBufferPool> m_buffers;
    std::shared_ptr<Link> m_link;
    QTcpSocket *m_socket = nullptr;
    QTimer *m_timeout = nullptr;
    QString m_host;
    int m_port = -1;
    // The connection carried a whole request and answer before this one: if
    // it turns out closed before any of the body left, the post is tried
    // once on a new connection.
    bool m_reused = false;
    bool m_retried = false;

    QUrl m_url;
    HeaderList m_headers;
    std::shared_ptr<const QVUploadPiece::Source> m_source;
    qint64 m_length = 0;
    qint64 m_headBytes = 0;
    // Body bytes asked of the worker, and written to the socket.
    qint64 m_requested = 0;
    qint64 m_queuedBody = 0;
    int m_readsInFlight = 0;
    // Every request (and abort) takes a new number; blocks read for an
    // older one are dropped.
    quint64 m_generation = 0;
    qint64 m_written = 0;
    QVPieceAnswerParser::Limits m_answerLimits;
    QVPieceAnswerParser m_parser;
    Outcome m_outcome;
};
