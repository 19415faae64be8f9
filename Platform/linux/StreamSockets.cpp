#include "Platform/StreamSockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Platform::StreamSockets {

namespace {

socklen_t toSockaddr(const QHostAddress &address, quint16 port, sockaddr_storage &storage)
{
    storage = sockaddr_storage{};
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto *sin6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        sin6->sin6_family = AF_INET6;
        sin6->sin6_port = htons(port);
        const Q_IPV6ADDR raw = address.toIPv6Address();
        std::memcpy(&sin6->sin6_addr, &raw, sizeof(raw));
        return sizeof(sockaddr_in6);
    }
    auto *sin = reinterpret_cast<sockaddr_in *>(&storage);
    sin->sin_family = AF_INET;
    sin->sin_port = htons(port);
    sin->sin_addr.s_addr = htonl(address.toIPv4Address());
    return sizeof(sockaddr_in);
}

} // namespace

int openStream(const QHostAddress &address, int *fd)
{
    const int family = address.protocol() == QAbstractSocket::IPv6Protocol ? AF_INET6 : AF_INET;
    const int descriptor = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (descriptor < 0)
        return errno;
    *fd = descriptor;
    return 0;
}

int startConnect(int fd, const QHostAddress &address, quint16 port)
{
    sockaddr_storage storage;
    const socklen_t length = toSockaddr(address, port, storage);
    int result;
    do {
        result = ::connect(fd, reinterpret_cast<sockaddr *>(&storage), length);
    } while (result < 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

int pendingError(int fd)
{
    int pending = 0;
    socklen_t length = sizeof(pending);
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &length) < 0)
        return errno;
    return pending;
}

qint64 receive(int fd, char *buffer, qint64 size, int *error)
{
    ssize_t n;
    do {
        n = ::recv(fd, buffer, static_cast<size_t>(size), 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        *error = errno;
    return n;
}

qint64 send(int fd, const char *data, qint64 size, int *error)
{
    ssize_t n;
    do {
        n = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        *error = errno;
    return n;
}

void close(int fd)
{
    ::close(fd);
}

bool setBroadcast(qintptr fd, bool enable)
{
    const int value = enable ? 1 : 0;
    return ::setsockopt(static_cast<int>(fd), SOL_SOCKET, SO_BROADCAST, &value, sizeof(value)) == 0;
}

} // namespace Platform::StreamSockets
