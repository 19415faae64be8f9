#include "NetlinkRoutes.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QList>
#include <algorithm>
#include <atomic>
#include <memory>

// The kernel's message macros compare its unsigned lengths with the int
// lengths they take; clang sees that through the macros, gcc does not.
#pragma GCC diagnostic ignored "-Wsign-compare"

namespace Platform::Linux::Net {
namespace {

struct FdCloser {
    int fd;
    ~FdCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

struct IfaddrsDeleter {
    void operator()(ifaddrs *list) const { freeifaddrs(list); }
};
using IfaddrsList = std::unique_ptr<ifaddrs, IfaddrsDeleter>;

IfaddrsList interfaceList()
{
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return nullptr;
    return IfaddrsList(list);
}

int multipathFirstInterface(const rtattr *attribute)
{
    auto *hop = static_cast<const rtnexthop *>(RTA_DATA(attribute));
    int remaining = RTA_PAYLOAD(attribute);
    while (remaining >= static_cast<int>(sizeof(rtnexthop)) && hop->rtnh_len >= sizeof(rtnexthop)
           && hop->rtnh_len <= remaining) {
        if (!(hop->rtnh_flags & (RTNH_F_DEAD | RTNH_F_LINKDOWN)))
            return hop->rtnh_ifindex;
        remaining -= RTNH_ALIGN(hop->rtnh_len);
        hop = RTNH_NEXT(hop);
    }
    return 0;
}

} // namespace

QString defaultRouteInterface()
{
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return {};
    FdCloser closer{fd};
    timeval timeout{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);

    static std::atomic<quint32> sequence{1};
    const quint32 seq = sequence.fetch_add(1);
    struct {
        nlmsghdr header;
        rtmsg route;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = seq;
    request.route.rtm_family = AF_INET;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd, &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr *>(&kernel),
                 sizeof kernel) < 0)
        return {};

    int bestIndex = 0;
    quint32 bestMetric = 0;
    alignas(nlmsghdr) char buffer[32768];
    bool finished = false;
    while (!finished) {
        const ssize_t received = ::recv(fd, buffer, sizeof buffer, 0);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            return {};
        }
        if (received == 0)
            return {};
        int length = static_cast<int>(received);
        for (auto *header = reinterpret_cast<nlmsghdr *>(buffer); !finished && NLMSG_OK(header, length);
             header = NLMSG_NEXT(header, length)) {
            if (header->nlmsg_seq != seq)
                continue;
            if (header->nlmsg_type == NLMSG_DONE) {
                finished = true;
                continue;
            }
            if (header->nlmsg_type == NLMSG_ERROR)
                return {};
            if (header->nlmsg_type != RTM_NEWROUTE || header->nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg)))
                continue;
            const auto *route = static_cast<const rtmsg *>(NLMSG_DATA(header));
            if (route->rtm_family != AF_INET || route->rtm_dst_len != 0 || route->rtm_type != RTN_UNICAST
                || (route->rtm_flags & (RTNH_F_DEAD | RTNH_F_LINKDOWN)))
                continue;
            quint32 table = route->rtm_table;
            int index = 0;
            quint32 metric = 0;
            int attributesLength = static_cast<int>(RTM_PAYLOAD(header));
            for (auto *attribute = RTM_RTA(route); RTA_OK(attribute, attributesLength);
                 attribute = RTA_NEXT(attribute, attributesLength)) {
                const auto payload = RTA_PAYLOAD(attribute);
                switch (attribute->rta_type) {
                case RTA_TABLE:
                    if (payload >= sizeof(quint32))
                        std::memcpy(&table, RTA_DATA(attribute), sizeof(quint32));
                    break;
                case RTA_OIF:
                    if (payload >= sizeof(int))
                        std::memcpy(&index, RTA_DATA(attribute), sizeof(int));
                    break;
                case RTA_PRIORITY:
                    if (payload >= sizeof(quint32))
                        std::memcpy(&metric, RTA_DATA(attribute), sizeof(quint32));
                    break;
                case RTA_MULTIPATH:
                    if (index == 0)
                        index = multipathFirstInterface(attribute);
                    break;
                default:
                    break;
                }
            }
            if (table != RT_TABLE_MAIN || index <= 0)
                continue;
            if (bestIndex == 0 || metric < bestMetric) {
                bestIndex = index;
                bestMetric = metric;
            }
        }
    }
    if (bestIndex == 0)
        return {};
    char name[IF_NAMESIZE + 1] = {};
    if (!if_indextoname(static_cast<unsigned>(bestIndex), name))
        return {};
    return QString::fromLocal8Bit(name);
}

namespace {

QString dotted(const sockaddr *address)
{
    char text[INET_ADDRSTRLEN] = {};
    const auto *in = reinterpret_cast<const sockaddr_in *>(address);
    if (!inet_ntop(AF_INET, &in->sin_addr, text, sizeof text))
        return {};
    return QString::fromLatin1(text);
}

bool isLoopbackAddress(const sockaddr *address)
{
    const auto *in = reinterpret_cast<const sockaddr_in *>(address);
    return (ntohl(in->sin_addr.s_addr) >> 24) == 127;
}

bool usableIPv4(const ifaddrs *entry)
{
    return entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET && (entry->ifa_flags & IFF_UP);
}

QByteArray packetAddress(const ifaddrs *entry)
{
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET)
        return {};
    const auto *link = reinterpret_cast<const sockaddr_ll *>(entry->ifa_addr);
    if (link->sll_halen != 6)
        return {};
    return QByteArray(reinterpret_cast<const char *>(link->sll_addr), 6);
}

bool nonZero(const QByteArray &mac)
{
    return mac.size() == 6 && mac.count('\0') != 6;
}

QByteArray sysfsAddress(const QString &interfaceName)
{
    // A name with a path separator could leave the folder.
    if (interfaceName.isEmpty() || interfaceName.contains(QLatin1Char('/')) || interfaceName.startsWith(QLatin1Char('.')))
        return {};
    QFile file(QStringLiteral("/sys/class/net/%1/address").arg(interfaceName));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> parts = file.readAll().trimmed().split(':');
    if (parts.size() != 6)
        return {};
    QByteArray mac;
    for (const QByteArray &part : parts) {
        bool ok = false;
        const uint byte = part.toUInt(&ok, 16);
        if (!ok || part.size() > 2 || byte > 0xff)
            return {};
        mac.append(static_cast<char>(byte));
    }
    return mac;
}

} // namespace

QString ipv4AddressOf(const QString &interfaceName)
{
    const IfaddrsList list = interfaceList();
    const QByteArray name = interfaceName.toLocal8Bit();
    for (const ifaddrs *entry = list.get(); entry; entry = entry->ifa_next) {
        if (usableIPv4(entry) && name == entry->ifa_name)
            return dotted(entry->ifa_addr);
    }
    return {};
}

QString firstNonLoopbackIPv4()
{
    const IfaddrsList list = interfaceList();
    for (const ifaddrs *entry = list.get(); entry; entry = entry->ifa_next) {
        if (usableIPv4(entry) && !(entry->ifa_flags & IFF_LOOPBACK) && !isLoopbackAddress(entry->ifa_addr))
            return dotted(entry->ifa_addr);
    }
    return {};
}

QByteArray hardwareAddressOf(const QString &interfaceName)
{
    // The kernel's own list first: it belongs to this process's network
    // namespace, which the sysfs view need not.
    const IfaddrsList list = interfaceList();
    const QByteArray name = interfaceName.toLocal8Bit();
    for (const ifaddrs *entry = list.get(); entry; entry = entry->ifa_next) {
        if (name == entry->ifa_name) {
            const QByteArray mac = packetAddress(entry);
            if (nonZero(mac))
                return mac;
        }
    }
    const QByteArray mac = sysfsAddress(interfaceName);
    return nonZero(mac) ? mac : QByteArray();
}

QByteArray firstNonLoopbackHardwareAddress()
{
    const IfaddrsList list = interfaceList();
    for (const ifaddrs *entry = list.get(); entry; entry = entry->ifa_next) {
        if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK))
            continue;
        QByteArray mac = packetAddress(entry);
        if (!nonZero(mac))
            mac = sysfsAddress(QString::fromLocal8Bit(entry->ifa_name));
        if (nonZero(mac))
            return mac;
    }
    return {};
}

QList<NetworkInterface> interfaces()
{
    QList<NetworkInterface> result;
    const IfaddrsList list = interfaceList();
    for (const ifaddrs *entry = list.get(); entry; entry = entry->ifa_next) {
        const QString name = QString::fromLocal8Bit(entry->ifa_name);
        auto found = std::find_if(result.begin(), result.end(),
                                  [&name](const NetworkInterface &known) { return known.name == name; });
        if (found == result.end()) {
            NetworkInterface fresh;
            fresh.name = name;
            fresh.up = (entry->ifa_flags & IFF_UP) && (entry->ifa_flags & IFF_RUNNING);
            fresh.loopback = entry->ifa_flags & IFF_LOOPBACK;
            result.append(fresh);
            found = result.end() - 1;
        }
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET)
            found->ipv4Addresses.append(dotted(entry->ifa_addr));
    }
    return result;
}

} // namespace Platform::Linux::Net
