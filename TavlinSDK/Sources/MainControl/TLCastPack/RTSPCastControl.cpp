#include "MainControl/TLCastPack/CastControlSession.h"

RTSPCastControl::RTSPCastControl(const DevicePtr &device, const RTSPClientServices &services)
    : m_client(std::make_unique<RTSPClient>(device, services))
{
}

RTSPCastControl::~RTSPCastControl() = default;

void RTSPCastControl::setMonitorCallback(std::function<void(qint32)> callback)
{
    m_client->setMonitorCallback(std::move(callback));
}

void RTSPCastControl::startMrror()
{
    m_client->startMrror();
}

void RTSPCastControl::stopMirror()
{
    m_client->stopMirror();
}

bool RTSPCastControl::isBusy() const
{
    return m_client->isBusy();
}

void RTSPCastControl::setMirrorPause(bool pause)
{
    m_client->setMirrorPause(pause);
}

bool RTSPCastControl::getPauseMark() const
{
    return m_client->getPauseMark();
}

CastControlFactory RTSPCastControl::factory(RTSPClientServices services)
{
    return [services = std::move(services)](const DevicePtr &device) -> std::unique_ptr<CastControlSession> {
        return std::make_unique<RTSPCastControl>(device, services);
    };
}
