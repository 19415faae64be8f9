#pragma once

#include <QString>

// The hardware address of this machine's primary network interface as
// "%02x:%02x:%02x:%02x:%02x:%02x" (lower case), or "" when it cannot be read.
QString getPrimaryMacAdd();
