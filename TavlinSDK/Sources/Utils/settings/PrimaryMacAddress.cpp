#include "Utils/settings/PrimaryMacAddress.h"

#include "Utils/TavlinGlobal/InterfaceSource.h"

QString getPrimaryMacAdd()
{
    const QByteArray mac = InterfaceSource::current()->primaryMacAddress();
    if (mac.size() != 6) {
        qInfo("GetMACAddress returned 0x%08x\n", 5u);
        return {};
    }
    const auto *b = reinterpret_cast<const unsigned char *>(mac.constData());
    return QString::asprintf("%02x:%02x:%02x:%02x:%02x:%02x", b[0], b[1], b[2], b[3], b[4], b[5]);
}
