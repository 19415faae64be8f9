// What TavlinGlobal learns about this machine.

#include <QHostAddress>

#include "Utils/TavlinGlobal/TavlinGlobal.h"
#include "Utils/settings/PrimaryMacAddress.h"

namespace {

std::shared_ptr<Platform::InterfaceAddresses> &interfaceSource()
{
    static std::shared_ptr<Platform::InterfaceAddresses> source;
    return source;
}

} // namespace

void TavlinGlobal::setInterfaceAddresses(std::shared_ptr<Platform::InterfaceAddresses> source)
{
    interfaceSource() = std::move(source);
    setPrimaryMacSource(interfaceSource());
}

QString TavlinGlobal::getMineIPAddress()
{
    QString address;
    if (const auto &source = interfaceSource())
        address = source->mineIPv4Address();
    // A loop-back address would turn a casting code into a local address.
    const QHostAddress parsed(address);
    if (address.isEmpty() || parsed.protocol() != QAbstractSocket::IPv4Protocol || parsed.isLoopback())
        address.clear();
    qInfo("mine ipaddress = %s", qUtf8Printable(address));
    return address;
}

QString TavlinGlobal::getMineMacAddress()
{
    QString address = QStringLiteral("0:0:0:0:0:0");
    address = getPrimaryMacAdd();
    address.remove(QLatin1Char(':'));
    return address;
}
