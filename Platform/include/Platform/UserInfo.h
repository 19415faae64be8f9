#pragma once

#include <QString>

#include "PlatformExport.h"

namespace Platform {

class PLATFORM_EXPORT UserInfo {
public:
    virtual ~UserInfo() = default;
    // The login name of the user running the process.
    virtual QString accountName() const = 0;
    virtual QString homeDirectory() const = 0;
};

} // namespace Platform
