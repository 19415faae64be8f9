#include "LinuxPrimaryIPv4Monitor.h"

#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include "NetlinkRoutes.h"
#include "Platform/LinuxPlatform.h"

namespace Platform::Linux {

NetlinkPrimaryIPv4Monitor::NetlinkPrimaryIPv4Monitor(QObject *parent) : PrimaryIPv4Monitor(parent) {}

NetlinkPrimaryIPv4Monitor::~NetlinkPrimaryIPv4Monitor()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

bool NetlinkPrimaryIPv4Monitor::isPrimaryIPv4Present()
{
    const QString primary = Net::defaultRouteInterface();
    return !primary.isEmpty() && !Net::ipv4AddressOf(primary).isEmpty();
}

void NetlinkPrimaryIPv4Monitor::start()
{
    if (m_fd >= 0)
        return;
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        if (!m_failureLogged) {
            m_failureLogged = true;
            qWarning("primary IPv4 watch unavailable: %s", std::strerror(error));
        }
        return;
    }
    m_fd = fd;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { readMessages(); });
}

void NetlinkPrimaryIPv4Monitor::readMessages()
{
    // The content does not matter: any message may move the default route or
    // the primary address, so one reading per batch follows.
    alignas(nlmsghdr) char buffer[16384];
    bool anything = false;
    for (;;) {
        const ssize_t received = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (received > 0) {
            anything = true;
            continue;
        }
        if (received < 0 && errno == EINTR)
            continue;
        // ENOBUFS: the kernel dropped messages; a fresh reading covers them.
        if (received < 0 && errno == ENOBUFS) {
            anything = true;
            continue;
        }
        if (received < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // Not recoverable: stop watching instead of spinning on the error.
            qWarning("primary IPv4 watch stopped: %s", std::strerror(errno));
            m_notifier->setEnabled(false);
        }
        break;
    }
    if (anything)
        emit changed();
}

std::shared_ptr<PrimaryIPv4Monitor> makePrimaryIPv4Monitor()
{
    return std::make_shared<NetlinkPrimaryIPv4Monitor>();
}

} // namespace Platform::Linux
