#pragma once

#include <QList>

#include "DeviceInformation.h"
#include "ServerInfo.h"
#include "TavlinError.h"
#include "TavlinExport.h"

// The application's side of the facade. Every method is optional.
class TAVLIN_EXPORT TavlinDelegate {
public:
    virtual ~TavlinDelegate() = default;

    virtual void deviceListChanged(const QList<DeviceInformation> & /*devices*/) {}
    virtual void connectDeviceByIpNeedPwd() {}
    virtual void connectDeviceSuccess(ServerInfo /*serverInfo*/) {}
    virtual void connectDeviceWithError(const TavlinError & /*error*/) {}
    virtual void deviceDidDisconnectWithError(const OptionalTavlinError & /*error*/) {}
    virtual void castSuccess() {}
    virtual void castStopWithError(const OptionalTavlinError & /*error*/) {}
    virtual void networkReachable() {}
    virtual void networkUnreachable() {}
    virtual void allowFullScreenStateChanged(qint64 /*state*/) {}
    virtual void fullScreenStateChanged(qint64 /*state*/) {}
    virtual void replyCastRequest(qint64 /*reply*/) {}
};
