#include "NetlinkRoutes.h"
#include "Platform/LinuxPlatform.h"

namespace Platform::Linux {
namespace {

// The interface of the default route stands for the Mac's primary interface;
// without one, the first interface that is up and not the loop-back.
class NetInterfaceAddresses final : public InterfaceAddresses {
public:
    QString mineIPv4Address() override
    {
        const QString primary = Net::defaultRouteInterface();
        if (!primary.isEmpty()) {
            const QString address = Net::ipv4AddressOf(primary);
            if (!address.isEmpty() && !address.startsWith(QLatin1String("127.")))
                return address;
        }
        return Net::firstNonLoopbackIPv4();
    }

    QByteArray primaryMacAddress() override
    {
        const QString primary = Net::defaultRouteInterface();
        if (!primary.isEmpty()) {
            const QByteArray mac = Net::hardwareAddressOf(primary);
            if (!mac.isEmpty())
                return mac;
        }
        return Net::firstNonLoopbackHardwareAddress();
    }
};

} // namespace

std::shared_ptr<InterfaceAddresses> makeInterfaceAddresses()
{
    return std::make_shared<NetInterfaceAddresses>();
}

} // namespace Platform::Linux
