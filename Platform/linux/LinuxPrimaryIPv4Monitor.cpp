#include "LinuxPrimaryIPv4Monitor.h"

#include <linux/rtnetlink.h>

#include "NetlinkRoutes.h"
#include "Platform/LinuxPlatform.h"

namespace Platform::Linux {

NetlinkPrimaryIPv4Monitor::NetlinkPrimaryIPv4Monitor(QObject *parent)
    : PrimaryIPv4Monitor(parent)
    , m_changes(RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE, "primary IPv4 watch", [this] { emit changed(); })
{
}

bool NetlinkPrimaryIPv4Monitor::isPrimaryIPv4Present()
{
    const QString primary = Net::defaultRouteInterface();
    return !primary.isEmpty() && !Net::ipv4AddressOf(primary).isEmpty();
}

void NetlinkPrimaryIPv4Monitor::start()
{
    m_changes.start();
}

NetlinkInterfaceWatch::NetlinkInterfaceWatch(QObject *parent)
    : NetworkInterfaceWatch(parent)
    , m_changes(RTMGRP_LINK | RTMGRP_IPV4_IFADDR, "network interface watch", [this] { emit changed(); })
{
}

QList<NetworkInterface> NetlinkInterfaceWatch::interfaces()
{
    return Net::interfaces();
}

void NetlinkInterfaceWatch::start()
{
    m_changes.start();
}

std::shared_ptr<PrimaryIPv4Monitor> makePrimaryIPv4Monitor()
{
    return std::make_shared<NetlinkPrimaryIPv4Monitor>();
}

std::shared_ptr<NetworkInterfaceWatch> makeNetworkInterfaceWatch()
{
    return std::make_shared<NetlinkInterfaceWatch>();
}

} // namespace Platform::Linux
