#include "HostileServer.h"

#include <QPointer>
#include <QTcpSocket>

#include <optional>

#include "TestSupport.h"

namespace HttpTest {

namespace {

// The most an endless answer leaves queued on its socket.
constexpr qint64 kQueued = 256 * 1024;
constexpr qint64 kPiece = 64 * 1024;

} // namespace

struct HostileServer::Connection {
    QPointer<QTcpSocket> socket;
    QByteArray received;
    // The request being read: its path and the body bytes still to come.
    QString path;
    qint64 bodyLeft = -1;
    qint64 bodyRead = 0;
    bool answered = false;
    // The endless answer being written, once one is.
    std::optional<Answer> endless;
};

HostileServer::HostileServer()
{
    QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++m_connections;
            auto *connection = new Connection;
            connection->socket = socket;
            m_open.append(connection);
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, connection] { onReadyRead(connection); });
            QObject::connect(socket, &QTcpSocket::bytesWritten, this, [this, connection](qint64 bytes) {
                m_sent += bytes;
                refill(connection);
            });
            QObject::connect(socket, &QTcpSocket::disconnected, this, [this, connection] {
                m_open.removeOne(connection);
                if (connection->socket)
                    connection->socket->deleteLater();
                delete connection;
            });
        }
    });
    EXPECT_TRUE(m_server.listen(TestSupport::uniqueLoopbackAddress()));
}

HostileServer::~HostileServer()
{
    m_server.close();
    for (Connection *connection : std::exchange(m_open, {})) {
        if (connection->socket) {
            connection->socket->disconnect(this);
            connection->socket->abort();
            delete connection->socket;
        }
        delete connection;
    }
}

void HostileServer::setAnswer(const QString &path, const Answer &answer)
{
    m_answers.insert(path, answer);
}

QString HostileServer::baseUrl() const
{
    return QStringLiteral("http://%1:%2").arg(m_server.serverAddress().toString()).arg(m_server.serverPort());
}

int HostileServer::requestCount(const QString &path) const
{
    return path.isEmpty() ? int(m_requests.size()) : int(m_requests.count(path));
}

int HostileServer::openConnections() const
{
    return int(m_open.size());
}

HostileServer::Answer HostileServer::json(const QByteArray &body, int status)
{
    Answer answer;
    answer.head = "HTTP/1.1 " + QByteArray::number(status) + " OK\r\nContent-Type: application/json\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\n\r\n";
    answer.body = body;
    return answer;
}

void HostileServer::onReadyRead(Connection *connection)
{
    QTcpSocket *socket = connection->socket;
    if (!socket)
        return;
    connection->received += socket->readAll();
    for (;;) {
        if (connection->endless) {
            // Whatever else comes is not read for an answer.
            connection->received.clear();
            return;
        }
        if (connection->bodyLeft < 0) {
            const qsizetype headEnd = connection->received.indexOf("\r\n\r\n");
            if (headEnd < 0)
                return;
            const QByteArray head = connection->received.left(headEnd);
            connection->received.remove(0, headEnd + 4);
            const QList<QByteArray> lines = head.split('\n');
            const QByteArray target = lines.first().split(' ').value(1);
            connection->path = QString::fromUtf8(target.split('?').first().mid(1));
            connection->bodyLeft = 0;
            connection->bodyRead = 0;
            connection->answered = false;
            for (const QByteArray &line : lines.mid(1)) {
                const qsizetype colon = line.indexOf(':');
                if (colon > 0 && line.left(colon).trimmed().compare("Content-Length", Qt::CaseInsensitive) == 0)
                    connection->bodyLeft = line.mid(colon + 1).trimmed().toLongLong();
            }
            m_requests.append(connection->path);
        }
        const auto it = m_answers.constFind(connection->path);
        const Answer *answer = it == m_answers.constEnd() ? nullptr : &it.value();
        const qint64 taken = qMin<qint64>(connection->bodyLeft, connection->received.size());
        connection->received.remove(0, taken);
        connection->bodyLeft -= taken;
        connection->bodyRead += taken;
        if (answer && answer->closeAfterBodyBytes >= 0 && connection->bodyRead >= answer->closeAfterBodyBytes) {
            socket->abort();
            return;
        }
        if (!connection->answered && (connection->bodyLeft == 0 || (answer && answer->answerAtOnce))) {
            connection->answered = true;
            if (!answer) {
                socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
            } else {
                socket->write(answer->head + answer->body);
                if (answer->answerAtOnce && connection->bodyLeft > 0) {
                    socket->disconnect(this);
                    QObject::connect(socket, &QTcpSocket::bytesWritten, this, [this](qint64 bytes) { m_sent += bytes; });
                    socket->setReadBufferSize(1);
                    return;
                }
                if (answer->endless != Endless::None) {
                    connection->endless = *answer;
                    refill(connection);
                    return;
                }
                if (answer->close) {
                    socket->disconnectFromHost();
                    return;
                }
            }
        }
        if (connection->bodyLeft > 0)
            return;
        // The next request on the connection.
        connection->bodyLeft = -1;
    }
}

void HostileServer::refill(Connection *connection)
{
    QTcpSocket *socket = connection->socket;
    if (!socket || !connection->endless || socket->state() != QAbstractSocket::ConnectedState)
        return;
    const Answer *answer = &*connection->endless;
    while (socket->bytesToWrite() < kQueued) {
        switch (answer->endless) {
        case Endless::Chunks:
            socket->write(QByteArray::number(kPiece, 16) + "\r\n" + QByteArray(kPiece, 'x') + "\r\n");
            break;
        case Endless::Bytes:
            socket->write(QByteArray(kPiece, answer->fill));
            break;
        case Endless::InterimAnswers: {
            QByteArray interim;
            for (int i = 0; i < 256; ++i)
                interim += "HTTP/1.1 100 Continue\r\n\r\n";
            socket->write(interim);
            break;
        }
        case Endless::None:
            return;
        }
    }
}

} // namespace HttpTest
