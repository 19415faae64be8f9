#pragma once

#include <QString>

#include "PlatformExport.h"

namespace Platform {

// What the system says about this computer's hardware.
class PLATFORM_EXPORT MachineInfo {
public:
    virtual ~MachineInfo() = default;
    // The processor's brand text as the system names it ("Intel(R) Core(TM)
    // i5-8250U CPU @ 1.60GHz", "Apple M1"); empty when it cannot be read.
    virtual QString cpuBrand() = 0;
    // The computer's model name; empty when the system does not say.
    virtual QString model() = 0;
};

} // namespace Platform
