#pragma once

#include "PlatformExport.h"

namespace Platform {

// The user's answer to whether a receiver may drive this computer's mouse and
// keyboard during a cast. The system has no permission of its own for posting
// input, so the user's word stands in for it; until it is given, it is not.
class PLATFORM_EXPORT RemoteInputConsent {
public:
    virtual ~RemoteInputConsent() = default;
    virtual bool isGiven() const = 0;
    // Kept across runs of the program.
    virtual void setGiven(bool given) = 0;
};

} // namespace Platform
