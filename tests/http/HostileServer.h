#pragma once

// A server for the answers no sound server sends: every request to a path is
// answered with what the test scripted for it, a head and a body, and then,
// if asked, an endless stream (chunks, bytes, or interim answers) written as
// fast as the peer takes it but never more than a little queued, so that the
// server itself stays small. It counts what it sent. Loopback only.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

namespace HttpTest {

class HostileServer : public QObject {
public:
    enum class Endless {
        None,
        // Chunks of 64 KiB, never the last one.
        Chunks,
        // The fill byte, for ever.
        Bytes,
        // "HTTP/1.1 100 Continue" answers, for ever.
        InterimAnswers,
    };

    struct Answer {
        // Sent as is: status line, headers and the empty line.
        QByteArray head;
        QByteArray body;
        Endless endless = Endless::None;
        char fill = 'a';
        // Close the connection after the answer (not after an endless one).
        bool close = false;
        // Answer once the request's head is in, and read nothing more of
        // the connection (its peer can then send only what the system
        // buffers take).
        bool answerAtOnce = false;
        // Close the connection once this many bytes of the request's body
        // have arrived, without answering (-1: never).
        qint64 closeAfterBodyBytes = -1;
    };

    HostileServer();
    ~HostileServer() override;

    // Every request to `path` (the target's path without its leading "/"
    // and query) gets `answer`; other paths get 404.
    void setAnswer(const QString &path, const Answer &answer);
    QString baseUrl() const;
    // Bytes written to every connection so far.
    qint64 bytesSent() const { return m_sent; }
    int requestCount(const QString &path = {}) const;
    int connectionCount() const { return m_connections; }
    // Connections still open.
    int openConnections() const;

    // A JSON answer with its length.
    static Answer json(const QByteArray &body, int status = 200);

private:
    struct Connection;
    void onReadyRead(Connection *connection);
    void refill(Connection *connection);

    QTcpServer m_server;
    QHash<QString, Answer> m_answers;
    QList<Connection *> m_open;
    QList<QString> m_requests;
    qint64 m_sent = 0;
    int m_connections = 0;
};

} // namespace HttpTest
