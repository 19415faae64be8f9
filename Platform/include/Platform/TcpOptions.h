#pragma once

#include <QtGlobal>

#include "PlatformExport.h"

// Options of a connected TCP descriptor that the casting library sets.
namespace Platform::TcpOptions {

// Turns Nagle's algorithm off (TCP_NODELAY); false when the call failed.
PLATFORM_EXPORT bool setNoDelay(qintptr fd);

} // namespace Platform::TcpOptions
