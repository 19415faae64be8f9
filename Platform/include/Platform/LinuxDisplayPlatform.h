#pragma once

#include <memory>

#include "DisplaySleepInhibitor.h"
#include "PlatformExport.h"

namespace Platform::Linux {

// The desktop's screen saver on the session bus
// ("org.freedesktop.ScreenSaver" Inhibit / UnInhibit).
PLATFORM_EXPORT std::shared_ptr<DisplaySleepInhibitor> makeDisplaySleepInhibitor();

} // namespace Platform::Linux
