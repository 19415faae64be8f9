#include "NetlinkChanges.h"

#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Platform::Linux {

NetlinkChanges::NetlinkChanges(unsigned groups, const char *what, std::function<void()> onBatch)
    : m_groups(groups), m_what(what), m_onBatch(std::move(onBatch))
{
}

NetlinkChanges::~NetlinkChanges()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void NetlinkChanges::start()
{
    if (m_fd >= 0)
        return;
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = m_groups;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        if (!m_failureLogged) {
            m_failureLogged = true;
            qWarning("%s unavailable: %s", m_what, std::strerror(error));
        }
        return;
    }
    m_fd = fd;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { readMessages(); });
}

void NetlinkChanges::readMessages()
{
    // The content does not matter: any message may change what the owner
    // reads, so one reading per batch follows.
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
            qWarning("%s stopped: %s", m_what, std::strerror(errno));
            m_notifier->setEnabled(false);
        }
        break;
    }
    if (anything && m_onBatch)
        m_onBatch();
}

} // namespace Platform::Linux
