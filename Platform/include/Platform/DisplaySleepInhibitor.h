#pragma once

#include <QString>
#include <QtGlobal>

#include "PlatformExport.h"

namespace Platform {

// Keeps the display from sleeping or blanking while something the user
// watches elsewhere is going on (a cast). Each inhibition is named by a
// non-zero id and lasts until it is released or the process ends.
class PLATFORM_EXPORT DisplaySleepInhibitor {
public:
    virtual ~DisplaySleepInhibitor() = default;
    // Starts an inhibition; its id, or 0 when the system refused or offers none.
    virtual quint32 inhibit(const QString &reason) = 0;
    // Ends the inhibition with that id; unknown ids and 0 are ignored.
    virtual void release(quint32 id) = 0;
};

} // namespace Platform
