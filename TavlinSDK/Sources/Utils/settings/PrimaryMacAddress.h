#pragma once

#include <QString>
#include <memory>

#include "Platform/InterfaceAddresses.h"
#include "TavlinExport.h"

// The hardware address of this machine's primary network interface as
// "%02x:%02x:%02x:%02x:%02x:%02x" (lower case), or "" when it cannot be read.
TAVLIN_EXPORT QString getPrimaryMacAdd();

// Where the address comes from; TavlinGlobal::setInterfaceAddresses installs it.
TAVLIN_EXPORT void setPrimaryMacSource(std::shared_ptr<Platform::InterfaceAddresses> source);
