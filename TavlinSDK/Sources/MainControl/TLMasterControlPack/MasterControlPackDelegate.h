#pragma once

#include "TavlinError.h"

// What the master-control session reports to its owner (the facade). Every
// method is optional.
class MasterControlPackDelegate {
public:
    virtual ~MasterControlPackDelegate() = default;

    virtual void masterControlPack_deviceDidDisconnectWithError(const OptionalTavlinError & /*error*/) {}
    virtual void masterControlPack_castSuccess() {}
    virtual void masterControlPack_castStopWithError(const OptionalTavlinError & /*error*/) {}
    virtual void masterControlPack_allowFullScreenStateChanged(qint64 /*state*/) {}
    virtual void masterControlPack_fullScreenStateChanged(qint64 /*state*/) {}
    virtual void masterControlPack_replyCastRequest(qint64 /*reply*/) {}
};
