#pragma once

// The receiver's side of the master-control session (TCP, 57395 by default):
// one JSON object per line each way. It answers
//   {"heartbeat":n}           with {"replyHeartbeat":"N","castMode",
//                             "multiScreen","mirrorMode","castState"},
//   {"reportClientInfo":"N"}  with {"replyClientInfo":"N","deviceName",
//                             "rotation","supportMirror","platform","flavor"},
//   {"requestCast":7}         with {"replyCastRequest":v} (accept, refuse,
//                             late or never),
//   {"requestCast":8}         by showing the cast full screen (cast state 2),
//   {"exitFullscreen":"N"}    with {"replyExitFullscreen":"N"} and state 1,
// and records {"disconnect":"N"} and {"replyInfo":"N"}. It can fall silent,
// close every connection it accepts, restart (every connection cut, then
// listening again on the same port), push its own lines ("reportInfo") and
// hostile bytes, and cut its lines into small writes. Every connection's
// bytes and lines are recorded. Settings and records may be used from any
// thread; sending happens on the emulator's thread.
//
// DirectCastServer is the receiver's side of the direct-cast keep-alive
// (51060): it reads "OPTIONS" requests and answers each, optionally with a
// command body.

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QStringList>
#include <atomic>

#include "ReceiverEmulator.h"

class QTcpServer;
class QTcpSocket;

struct MasterControlBehaviour {
    // What the heartbeat replies report.
    qint64 castMode = 1;
    qint64 multiScreen = 0;
    qint64 mirrorMode = 0;
    qint64 castState = 1;
    // false: reads everything, answers nothing.
    bool answerHeartbeats = true;
    bool answerClientInfo = true;
    QString platform = QStringLiteral("android");
    qint64 rotation = 0;
    // The answer to a cast request (1 accepted, 0 refused, 2 timed out);
    // negative: never answers.
    qint64 castReply = 1;
    int castReplyDelayMs = 0;
    // Full-screen requests change the reported cast state.
    bool followFullScreenRequests = true;
    // Accepts each connection and closes it at once.
    bool closeOnAccept = false;
    // Written, each on its own, before the first reply of every connection.
    QList<QByteArray> hostileChunks;
    // Each reply line goes out in writes of this many bytes, a little apart
    // (0: one write).
    int chunkSize = 0;
    int chunkGapMs = 5;
};

class MasterControlServer : public ReceiverComponent {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 57395;

    // Listens on the emulator's address; port 0 picks a free one (port()).
    explicit MasterControlServer(ReceiverEmulator &emulator, quint16 port = kDefaultPort);
    ~MasterControlServer() override;

    QString componentName() const override { return QStringLiteral("master"); }
    bool start(QString *error) override;
    void stop() override;
    // Cuts every connection and listens again on the same port.
    bool restart();
    quint16 port() const { return m_boundPort.load(); }
    bool isListening() const;

    void setBehaviour(const MasterControlBehaviour &behaviour);
    MasterControlBehaviour behaviour() const;

    int connectionCount() const;
    QByteArray received(int connection) const;
    // Every line a connection sent, parsed (an unparsable line is an empty object).
    QList<QJsonObject> messages(int connection) const;
    QList<QJsonObject> allMessages() const;
    // The lines of one connection (or all) holding `key`.
    int count(const QString &key, int connection = -1) const;
    // The "heartbeat" numbers a connection sent, in order.
    QList<qint64> heartbeats(int connection) const;
    bool connectionOpen(int connection) const;
    int openConnections() const;

    // Writes on the newest open connection (from the emulator's thread).
    void sendRaw(const QByteArray &bytes);
    void sendLine(const QJsonObject &object);
    void sendReportInfo(const QString &deviceName, qint64 rotation);

    static QByteArray heartbeatReply(const MasterControlBehaviour &behaviour);

private:
    struct Connection {
        QTcpSocket *socket = nullptr;
        QByteArray inbound;
        QByteArray received;
        QList<QJsonObject> messages;
        bool replied = false;
        bool open = true;
        QList<QByteArray> outbound;
        bool pumping = false;
    };

    void accept();
    void readFrom(int index);
    void answer(int index, const QJsonObject &message);
    void writeLine(int index, const QByteArray &line);
    void pump(int index);
    int newestOpen() const;

    quint16 m_port;
    QTcpServer *m_server = nullptr;
    std::atomic<quint16> m_boundPort{0};
    mutable QMutex m_mutex;
    MasterControlBehaviour m_behaviour;
    QList<Connection> m_connections;
};

class DirectCastServer : public ReceiverComponent {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 51060;

    explicit DirectCastServer(ReceiverEmulator &emulator, quint16 port = kDefaultPort);
    ~DirectCastServer() override;

    QString componentName() const override { return QStringLiteral("directcast"); }
    bool start(QString *error) override;
    void stop() override;
    quint16 port() const { return m_boundPort.load(); }

    // Answers every request (with the command body when one is set).
    void setAnswering(bool answer);
    // 768 start, 769 stop; 0: answers carry no body.
    void setCommand(qint64 command);

    int connectionCount() const;
    // Every request received, as text up to its empty line.
    QStringList requests() const;

private:
    void accept();
    void readFrom(QTcpSocket *socket);

    quint16 m_port;
    QTcpServer *m_server = nullptr;
    std::atomic<quint16> m_boundPort{0};
    mutable QMutex m_mutex;
    bool m_answer = true;
    qint64 m_command = 0;
    int m_connections = 0;
    QStringList m_requests;
    QHash<QTcpSocket *, QByteArray> m_inbound;
};
