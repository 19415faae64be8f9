#pragma once

#include <QString>

#include "PlatformExport.h"

namespace Platform {

// Keeps the system from idle sleep for as long as the process runs.
class PLATFORM_EXPORT ActivityInhibitor {
public:
    virtual ~ActivityInhibitor() = default;
    // False when the facility is unavailable; the caller carries on without it.
    virtual bool beginActivity(const QString &reason) = 0;
};

} // namespace Platform
