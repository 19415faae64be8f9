#pragma once

#include <QString>
#include <functional>

#include "TavlinExport.h"

// One connect handshake as the facade drives it. Each connect call of the
// facade makes a new one; destroying it ends it without any callback. The
// outcome arrives through the ConnectPackDelegate it was made with.
class ConnectSession {
public:
    virtual ~ConnectSession() = default;

    // Starts the handshake with a receiver at a dotted IPv4 address; false
    // when it could not be started. `whenStarted` runs once the connection
    // has really started and before this handshake touches anything shared
    // with the session before it (the handshake connection, the session
    // flags), so that the caller can end that session there; it does not
    // run when the answer is false.
    virtual bool connectDeviceByIp(const QString &ip, const std::function<void()> &whenStarted = {}) = 0;
    // Starts the handshake with the receiver a casting code names; as above.
    virtual bool connectDeviceByPin(const QString &code, const std::function<void()> &whenStarted = {}) = 0;
    // Passes the casting code the user typed for the running handshake.
    virtual void connectDeviceByIpCheckPwd(const QString &code) = 0;
    // The receiver's "extraInfo" text, or empty.
    virtual QString getCustomBroadcastStrPack() const = 0;
};
