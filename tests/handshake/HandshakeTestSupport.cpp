#include "HandshakeTestSupport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace HandshakeTest {

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

SocketTestListener::SocketTestListener(const QHostAddress &address) : m_address(address)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sin = toSockaddr(address, 0);
    EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr *>(&sin), sizeof(sin)), 0);
    EXPECT_EQ(::listen(m_fd, 0), 0);
    socklen_t length = sizeof(sin);
    ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&sin), &length);
    m_port = ntohs(sin.sin_port);
}

SocketTestListener::~SocketTestListener()
{
    for (int fd : m_fillers)
        ::close(fd);
    ::close(m_fd);
}

void SocketTestListener::fill()
{
    for (int i = 0; i < 3; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
        sockaddr_in sin = toSockaddr(m_address, m_port);
        ::connect(fd, reinterpret_cast<sockaddr *>(&sin), sizeof(sin));
        m_fillers.append(fd);
    }
    TestSupport::spin(100);
}

void SocketTestListener::drain()
{
    ::fcntl(m_fd, F_SETFL, O_NONBLOCK);
    int accepted;
    while ((accepted = ::accept(m_fd, nullptr, nullptr)) >= 0)
        m_fillers.append(accepted);
}

} // namespace HandshakeTest
