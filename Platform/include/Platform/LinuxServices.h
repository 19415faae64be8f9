#pragma once

#include "PlatformExport.h"
#include "PlatformServices.h"

namespace Platform::Linux {

// The real services of this system, made together: the one place where the
// process's Linux backends are created. Call it once, on the main thread,
// after the application's organisation and name are set (the settings file
// is named after them), and hand the result to the library and the program.
PLATFORM_EXPORT PlatformServices makePlatformServices();

} // namespace Platform::Linux
