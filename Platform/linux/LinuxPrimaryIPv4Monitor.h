#pragma once

#include "NetlinkChanges.h"
#include "Platform/NetworkInterfaceWatch.h"
#include "Platform/PrimaryIPv4Monitor.h"

namespace Platform::Linux {

// Watches the kernel's routing messages (links, IPv4 addresses, IPv4 routes)
// and reports each batch as a possible change. Present means: the IPv4
// default route's interface has an IPv4 address.
class NetlinkPrimaryIPv4Monitor final : public PrimaryIPv4Monitor {
public:
    explicit NetlinkPrimaryIPv4Monitor(QObject *parent = nullptr);

    bool isPrimaryIPv4Present() override;
    void start() override;

private:
    NetlinkChanges m_changes;
};

// Watches the kernel's link and IPv4 address messages and reports each
// batch as a possible change; reads every interface with its addresses.
class PLATFORM_EXPORT NetlinkInterfaceWatch final : public NetworkInterfaceWatch {
public:
    explicit NetlinkInterfaceWatch(QObject *parent = nullptr);

    QList<NetworkInterface> interfaces() override;
    void start() override;

private:
    NetlinkChanges m_changes;
};

} // namespace Platform::Linux
