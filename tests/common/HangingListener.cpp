#include "HangingListener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace TestSupport {

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

HangingListener::HangingListener(const QHostAddress &address) : m_address(address)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_GE(m_fd, 0);
    if (m_fd < 0)
        return;
    sockaddr_in sin = toSockaddr(address, 0);
    const bool listening =
        ::bind(m_fd, reinterpret_cast<sockaddr *>(&sin), sizeof(sin)) == 0 && ::listen(m_fd, 0) == 0;
    EXPECT_TRUE(listening) << "cannot listen on " << address.toString().toStdString();
    if (!listening)
        return;
    socklen_t length = sizeof(sin);
    ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&sin), &length);
    m_port = ntohs(sin.sin_port);
}

HangingListener::~HangingListener()
{
    for (int fd : m_fillers)
        ::close(fd);
    if (m_fd >= 0)
        ::close(m_fd);
}

bool HangingListener::fill()
{
    if (m_port == 0)
        return false;
    // A backlog of 0 holds one connection; the first connect that does not
    // complete shows that the next ones will not either.
    const sockaddr_in sin = toSockaddr(m_address, m_port);
    for (int i = 0; i < 16; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return false;
        m_fillers.append(fd);
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&sin), sizeof(sin)) == 0)
            continue;
        if (errno != EINPROGRESS)
            return false;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 200) == 0)
            return true;
    }
    return false;
}

void HangingListener::drain()
{
    if (m_fd < 0)
        return;
    ::fcntl(m_fd, F_SETFL, O_NONBLOCK);
    int accepted;
    while ((accepted = ::accept(m_fd, nullptr, nullptr)) >= 0)
        m_fillers.append(accepted);
}

} // namespace TestSupport
