#include "Utils/settings/PrimaryMacAddress.h"

namespace {

std::shared_ptr<Platform::InterfaceAddresses> &macSource()
{
    static std::shared_ptr<Platform::InterfaceAddresses> source;
    return source;
}

} // namespace

void setPrimaryMacSource(std::shared_ptr<Platform::InterfaceAddresses> source)
{
    macSource() = std::move(source);
}

QString getPrimaryMacAdd()
{
    const auto &source = macSource();
    if (!source) {
        qInfo("FindEthernetInterfaces returned 0x%08x\n", 5u);
        return {};
    }
    const QByteArray mac = source->primaryMacAddress();
    if (mac.size() < 6) {
        qInfo("GetMACAddress returned 0x%08x\n", 5u);
        return {};
    }
    const auto *b = reinterpret_cast<const unsigned char *>(mac.constData());
    return QString::asprintf("%02x:%02x:%02x:%02x:%02x:%02x", b[0], b[1], b[2], b[3], b[4], b[5]);
}
