#include "SocketTestTools.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "TestSupport.h"

namespace SocketTest {

namespace {
sockaddr_in toSockaddr(const QHostAddress &address, quint16 port)
{
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(port);
    sin.sin_addr.s_addr = htonl(address.toIPv4Address());
    return sin;
}
} // namespace

RawListener::RawListener(const QHostAddress &address) : m_address(address)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sin = toSockaddr(address, 0);
    EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr *>(&sin), sizeof(sin)), 0);
    EXPECT_EQ(::listen(m_fd, 0), 0);
    socklen_t length = sizeof(sin);
    ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&sin), &length);
    m_port = ntohs(sin.sin_port);
}

RawListener::~RawListener()
{
    for (int fd : m_fillers)
        ::close(fd);
    ::close(m_fd);
}

void RawListener::fill()
{
    // A backlog of 0 holds one connection; a few more make sure it is full.
    for (int i = 0; i < 3; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
        sockaddr_in sin = toSockaddr(m_address, m_port);
        ::connect(fd, reinterpret_cast<sockaddr *>(&sin), sizeof(sin));
        m_fillers.append(fd);
    }
    TestSupport::spin(100);
}

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
