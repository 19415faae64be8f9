#pragma once

#include <memory>

#include "Platform/DisplaySleepInhibitor.h"

namespace Platform::Linux {

// The desktop's screen saver on the session bus
// ("org.freedesktop.ScreenSaver" Inhibit / UnInhibit).
std::shared_ptr<DisplaySleepInhibitor> makeDisplaySleepInhibitor();

} // namespace Platform::Linux
