#pragma once

#include "TavlinError.h"

// What the cast session reports to the master-control session, which passes
// it on unchanged. Every method is optional.
class CastPackDelegate {
public:
    virtual ~CastPackDelegate() = default;

    virtual void castPack_castSuccess() {}
    virtual void castPack_castStopWithError(const OptionalTavlinError & /*error*/) {}
};
