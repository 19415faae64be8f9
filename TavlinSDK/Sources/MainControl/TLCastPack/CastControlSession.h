#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>

#include "Device/Device.h"
#include "Rtsp/RTSPClient.h"

// The control session of one cast as the cast session drives it (RTSPClient
// in production). Statuses (MirrorSocketStatus) reach the monitor callback
// from the event loop, never from inside a call of the cast session.
class CastControlSession {
public:
    virtual ~CastControlSession() = default;

    virtual void setMonitorCallback(std::function<void(qint32)> callback) = 0;
    virtual void startMrror() = 0;
    virtual void stopMirror() = 0;
    virtual bool isBusy() const = 0;
    virtual void setMirrorPause(bool pause) = 0;
    virtual bool getPauseMark() const = 0;
};

// Makes the control session for a cast to a receiver.
using CastControlFactory = std::function<std::unique_ptr<CastControlSession>(const DevicePtr &)>;

// RTSPClient as a CastControlSession.
class RTSPCastControl final : public CastControlSession {
public:
    RTSPCastControl(const DevicePtr &device, const RTSPClientServices &services);
    ~RTSPCastControl() override;

    void setMonitorCallback(std::function<void(qint32)> callback) override;
    void startMrror() override;
    void stopMirror() override;
    bool isBusy() const override;
    void setMirrorPause(bool pause) override;
    bool getPauseMark() const override;

    RTSPClient *client() const { return m_client.get(); }

    // A factory of these with the given services.
    static CastControlFactory factory(RTSPClientServices services);

private:
    std::unique_ptr<RTSPClient> m_client;
};
