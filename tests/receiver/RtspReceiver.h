#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class QThread;
class RtspReceiverWorker;
struct RtspReceiverState;

// The receiver's side of the cast control session (TCP, 51040 by default),
// served from a thread of its own: answers the video and the audio "SETUP",
// answers or ignores "OPTIONS", can carry encoder-size requests in "OPTIONS"
// replies, and can split, hold back, replace or withhold its replies, close
// the connection or stop reading. Every method may be called from any thread.
class RtspReceiver {
public:
    struct Request {
        QByteArray method;
        QByteArray url;
        QByteArray head; // up to and including the blank line
        QByteArray body;
        QByteArray raw;  // head and body as they arrived
        int cseq = -1;
        int connection = 0; // 1 for the first accepted connection
    };

    enum class Delivery {
        Whole,         // each reply in one write
        ByteByByte,    // each reply one byte per write, a millisecond apart
        HoldForNext,   // each "OPTIONS" reply waits and leaves with the next one
    };

    struct Behaviour {
        bool answerVideoSetup = true;
        bool answerAudioSetup = true;
        // The audio "SETUP" reply's body; empty sends the reply without one.
        QByteArray audioSetupReplyBody;
        bool answerOptions = true;
        bool answerTeardown = true;
        // false: accept the connection, then read nothing more (a stalled
        // receiver whose receive window fills).
        bool readRequests = true;
        Delivery delivery = Delivery::Whole;
    };

    // Raw bytes to send instead of the usual reply to a request, or none.
    using ReplyOverride = std::function<std::optional<QByteArray>(const Request &)>;

    RtspReceiver();
    explicit RtspReceiver(Behaviour behaviour);
    ~RtspReceiver();
    RtspReceiver(const RtspReceiver &) = delete;
    RtspReceiver &operator=(const RtspReceiver &) = delete;

    bool listen(const QHostAddress &address, quint16 port = 0);
    quint16 port() const;

    Behaviour behaviour() const;
    void setBehaviour(const Behaviour &behaviour);
    void setReplyOverride(ReplyOverride replyOverride);
    // The next "OPTIONS" reply carries this body (an encoder-size request).
    void queueOptionsBody(const QByteArray &body);
    // Sends bytes on the current connection now.
    void sendRaw(const QByteArray &bytes);
    // Closes the current connection from the receiver's side.
    void closeClient();

    QList<Request> requests() const;
    QList<QByteArray> methods() const;
    int connectionCount() const;
    // True once the client has closed the current connection.
    bool clientClosed() const;
    qint64 bytesReceived() const;

    // The "RTSP/1.0 200 OK" reply the receiver sends for a sequence number.
    static QByteArray okReply(int cseq, const QByteArray &body = {});
    // The body of an "OPTIONS" reply that asks for another encoder size and
    // frame rate.
    static QByteArray encoderRequest(int width, int height, int fps);

private:
    std::shared_ptr<RtspReceiverState> m_state;
    QThread *m_thread = nullptr;
    RtspReceiverWorker *m_worker = nullptr;
};
