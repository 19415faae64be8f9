#pragma once

// The receiver's side of the text handshake: requests end with an empty
// line ("\r\n\r\n"); replies are lines. It answers
//   GETPASSWORDCONFIG  with "configed password" when a casting code is set,
//   getServerInfo      with the profile as one JSON line (name, feature bits
//                      as hex text, extraInfo), possibly late or never,
//   getListenedPort    with {"hasChanged":..,"ports":{..}},
//   CHECKPASSWORD      with "success" for the right code, "failed" otherwise.
// For failure tests it can stay silent, close or reset the connection when a
// given request arrives, answer late, cut its replies at chosen byte positions
// (each piece is its own write, a little apart) or gather them into one write.
// Every connection's bytes and requests are recorded. Settings and records
// may be used from any thread.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QStringList>
#include <atomic>
#include <optional>

#include "ReceiverEmulator.h"

class QTcpServer;
class QTcpSocket;

struct HandshakeBehaviour {
    // The casting code it wants; empty: none configured.
    QString castingCode;
    // The reply to GETPASSWORDCONFIG when no code is set (none when empty).
    QByteArray noCodeReply;
    // Text of "extraInfo"; absent when null.
    QString extraInfo;
    // A name reply line to send instead of the one built from the profile.
    QByteArray serverInfoOverride;
    // Delay of the name reply; negative: never answers getServerInfo.
    int serverInfoDelayMs = 0;
    // Dynamic ports: the answer to getListenedPort (entries in the order
    // 51040, 51030, 51060, 52020, 52030, 57395; a missing entry is left out).
    bool portsChanged = true;
    QMap<QString, qint64> ports;
    // A port reply to send instead of the one built from `ports`.
    QByteArray portsOverride;
    // The refusal word ("failed", or the misspelt "falied").
    QByteArray refusalWord = "failed";
    // Answers nothing at all (but records).
    bool silent = false;
    // Never answers CHECKPASSWORD.
    bool silentOnCheck = false;
    // Bytes to answer CHECKPASSWORD with instead of a verdict (none when empty).
    QByteArray checkReplyOverride;
    // Cut each verdict after this many bytes; the rest follows `pieceGapMs`
    // later (negative: the verdict goes whole).
    qsizetype verdictCutAt = -1;
    // Delay of the port reply.
    int portsDelayMs = 0;
    // On this request, close (or reset) the connection instead of answering.
    QString closeOnRequest;
    QString resetOnRequest;
    // Cut the replies of each connection at these byte offsets of its reply
    // stream; pieces go out `pieceGapMs` apart.
    QList<qsizetype> cutAt;
    int pieceGapMs = 25;
    // Gather the replies of this long into one write (0: write each at once).
    int gatherMs = 0;
};

class HandshakeServer : public ReceiverComponent {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 8121;

    // Listens on the emulator's address; port 0 picks a free one (port()).
    explicit HandshakeServer(ReceiverEmulator &emulator, quint16 port = kDefaultPort);
    ~HandshakeServer() override;

    QString componentName() const override { return QStringLiteral("handshake"); }
    bool start(QString *error) override;
    void stop() override;
    quint16 port() const { return m_boundPort.load(); }

    void setBehaviour(const HandshakeBehaviour &behaviour);
    HandshakeBehaviour behaviour() const;

    int connectionCount() const;
    // Everything a connection sent, and its requests (each without the final
    // empty line) in order.
    QByteArray received(int connection) const;
    QStringList requests(int connection) const;
    QStringList allRequests() const;
    bool connectionOpen(int connection) const;

    static QByteArray serverInfoLine(const ReceiverProfile &profile, const QString &extraInfo);
    static QByteArray portsLine(bool changed, const QMap<QString, qint64> &ports);

private:
    struct Connection {
        QTcpSocket *socket = nullptr;
        QByteArray inbound;
        QByteArray received;
        QStringList requests;
        QByteArray outbound;       // replies not yet written
        qsizetype streamOffset = 0; // reply bytes written so far
        QList<qsizetype> cuts;      // where verdicts are cut, in the reply stream
        bool pumping = false;
        bool open = true;
    };

    void accept();
    void readFrom(int index);
    void answer(int index, const QString &request);
    void queueReply(int index, const QByteArray &bytes);
    void queueReplyAfter(int delayMs, int index, const QByteArray &bytes);
    void pump(int index);

    quint16 m_port;
    QTcpServer *m_server = nullptr;
    std::atomic<quint16> m_boundPort{0};
    mutable QMutex m_mutex;
    HandshakeBehaviour m_behaviour;
    QList<Connection> m_connections;
};

// The codes a receiver shows for an address (the inverse of the casting-code
// rules): eight letters for the whole address, six digits for its last two
// octets.
namespace HandshakeCodes {
QString eightLetterCodeFor(const QHostAddress &address);
QString sixDigitCodeFor(const QHostAddress &address);
} // namespace HandshakeCodes
