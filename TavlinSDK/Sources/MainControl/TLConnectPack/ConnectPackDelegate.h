#pragma once

#include "TavlinError.h"

// What the connect handshake reports to its owner (the facade).
class ConnectPackDelegate {
public:
    virtual ~ConnectPackDelegate() = default;

    // The receiver wants a casting code.
    virtual void connectPack_needEnterPwd() = 0;
    // The receiver refused the casting code.
    virtual void connectPack_pwdIncorrect(const TavlinError &error) = 0;
    // The handshake succeeded; the chosen receiver is in TavlinGlobal.
    virtual void connectPack_connectDeviceCheckSuccess() = 0;
    // The handshake failed.
    virtual void connectPack_connectDeviceCheckWithError(const TavlinError &error) = 0;
};
