#pragma once

#include <QString>

#include "PlatformExport.h"

namespace Platform {

class PLATFORM_EXPORT InterfaceAddresses {
public:
    virtual ~InterfaceAddresses() = default;
    // Dotted IPv4 address of this machine on its primary interface, or an
    // empty string when it has none (never a loop-back address).
    virtual QString mineIPv4Address() = 0;
    // Six bytes of the primary interface's hardware address, or empty.
    virtual QByteArray primaryMacAddress() = 0;
};

} // namespace Platform
