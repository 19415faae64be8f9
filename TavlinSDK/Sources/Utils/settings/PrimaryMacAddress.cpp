#include "Utils/settings/PrimaryMacAddress.h"

#include "Utils/TavlinGlobal/InterfaceSource.h"

QString getPrimaryMacAdd()
{
    const std::shared_ptr<Platform::InterfaceAddresses> source = InterfaceSource::current();
    const QByteArray mac = source ? source->primaryMacAddress() : QByteArray();
    if (mac.size() != 6) {
        qInfo("GetMACAddress returned 0x%08x\n", 5u);
        return {};
    }
    const auto *b = reinterpret_cast<const unsigned char *>(mac.constData());
    return QString::asprintf("%02x:%02x:%02x:%02x:%02x:%02x", b[0], b[1], b[2], b[3], b[4], b[5]);
}
