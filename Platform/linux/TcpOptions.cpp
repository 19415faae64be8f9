#include "Platform/TcpOptions.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace Platform::TcpOptions {

bool setNoDelay(qintptr fd)
{
    const int one = 1;
    return fd >= 0 && ::setsockopt(int(fd), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) == 0;
}

} // namespace Platform::TcpOptions
