#pragma once

// For suites that make the whole library: receiver search that probes a
// loop-back address where nothing listens, and whose timers do not fire
// within a test. Header-only: only suites linking the library include it.

#include "TavlinServices.h"
#include "TestSupport.h"

namespace TestSupport {

inline void quietSearch(TavlinServices &services)
{
    services.search.probeAddresses = {uniqueLoopbackAddress()};
    services.search.probePort = 9;
    services.search.bindAddress = uniqueLoopbackAddress();
    services.search.bindPort = 0;
    services.timings.searchProbeIntervalMs = 600000;
    services.timings.deviceListPruneIntervalMs = 600000;
}

} // namespace TestSupport
