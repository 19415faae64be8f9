#pragma once

#include "PlatformExport.h"

namespace Platform {

class PLATFORM_EXPORT ScreenCaptureAccess {
public:
    virtual ~ScreenCaptureAccess() = default;
    // True when the screen can be recorded by this process.
    virtual bool canRecordScreen() = 0;
    // Make the system ask the user for the permission, where it has one.
    virtual void requestAccess() = 0;
};

} // namespace Platform
