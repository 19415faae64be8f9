#pragma once

#include <QSocketNotifier>
#include <memory>

#include "Platform/PrimaryIPv4Monitor.h"

namespace Platform::Linux {

// Watches the kernel's routing messages (links, IPv4 addresses, IPv4 routes)
// and reports each batch as a possible change. Present means: the IPv4
// default route's interface has an IPv4 address.
class NetlinkPrimaryIPv4Monitor final : public PrimaryIPv4Monitor {
public:
    explicit NetlinkPrimaryIPv4Monitor(QObject *parent = nullptr);
    ~NetlinkPrimaryIPv4Monitor() override;

    bool isPrimaryIPv4Present() override;
    void start() override;

private:
    void readMessages();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_failureLogged = false;
};

} // namespace Platform::Linux
