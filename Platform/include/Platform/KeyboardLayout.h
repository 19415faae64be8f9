#pragma once

#include <QString>
#include <QtGlobal>

#include "PlatformExport.h"

namespace Platform {

// The user's current keyboard layout, seen through the system's virtual key
// codes (the ones InputInjector::postKey takes).
class PLATFORM_EXPORT KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;

    // Identifies the layout in force now: another value whenever the layout
    // or its active group changed, 0 when there is no layout at all.
    virtual quint64 currentLayout() = 0;

    // The UTF-16 text the key types in the current layout while `modifiers`
    // (KeyModifier bits) are held, with dead keys off; empty when the key
    // types nothing or does not exist.
    virtual QString translateKey(quint16 keyCode, quint32 modifiers) = 0;
};

} // namespace Platform
