#include "SocketTestTools.h"

#include <sys/socket.h>
#include <unistd.h>

#include "TestSupport.h"

namespace SocketTest {

RecordingServer::RecordingServer(const QHostAddress &address)
{
    EXPECT_TRUE(m_server.listen(address, 0));
    QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            const qsizetype index = m_connections.size();
            m_connections.append(socket);
            m_received.append(QByteArray());
            m_ended.append(false);
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket, index] {
                m_received[index].append(socket->readAll());
            });
            QObject::connect(socket, &QTcpSocket::disconnected, this, [this, socket, index] {
                m_received[index].append(socket->readAll());
                m_ended[index] = true;
            });
        }
    });
}

RecordingServer::~RecordingServer()
{
    for (QTcpSocket *socket : m_connections) {
        socket->disconnect(this);
        delete socket;
    }
}

void RecordingServer::reset(int index)
{
    QTcpSocket *socket = m_connections.value(index);
    if (!socket)
        return;
    linger option{1, 0};
    ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &option, sizeof(option));
    socket->abort();
}

void RunLoopRecorder::onSocketDidConnectToHost(AsyncSocket *, const QString &host, quint16 port)
{
    events << QStringLiteral("connect");
    connected = true;
    connectedHost = host;
    connectedPort = port;
}

void RunLoopRecorder::onSocketDidReadData(AsyncSocket *, const QByteArray &data, qint64 tag)
{
    events << QStringLiteral("read");
    reads.append({tag, data});
}

void RunLoopRecorder::onSocketDidWriteDataWithTag(AsyncSocket *, qint64 tag)
{
    events << QStringLiteral("write");
    writes.append(tag);
}

void RunLoopRecorder::onSocketWillDisconnectWithError(AsyncSocket *, const TavlinError &error)
{
    events << QStringLiteral("will");
    willDisconnectError = error;
    ++willDisconnectCount;
}

void RunLoopRecorder::onSocketDidDisconnect(AsyncSocket *)
{
    events << QStringLiteral("did");
    ++didDisconnectCount;
}

void QueueRecorder::socketDidConnectToHost(GCDAsyncSocket *, const QString &, quint16)
{
    events << QStringLiteral("connect");
    connected = true;
}

void QueueRecorder::socketDidReadData(GCDAsyncSocket *, const QByteArray &data, qint64 tag)
{
    events << QStringLiteral("read");
    reads.append({tag, data});
}

void QueueRecorder::socketDidWriteDataWithTag(GCDAsyncSocket *, qint64 tag)
{
    events << QStringLiteral("write");
    writes.append(tag);
}

void QueueRecorder::socketDidDisconnect(GCDAsyncSocket *, const OptionalTavlinError &error)
{
    events << QStringLiteral("disconnect");
    disconnects.append(error);
}

} // namespace SocketTest
