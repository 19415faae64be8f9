#pragma once

#include <QString>

#include "PlatformExport.h"

namespace Platform {

// Shows a file to the user in the desktop's file manager, selected in its
// folder.
class PLATFORM_EXPORT FileRevealer {
public:
    virtual ~FileRevealer() = default;
    // Asks for `path` to be shown; the file manager opens on its own time.
    // False when nothing could even be asked.
    virtual bool revealFile(const QString &path) = 0;
};

} // namespace Platform
