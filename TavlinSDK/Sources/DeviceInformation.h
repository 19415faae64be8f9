#pragma once

#include <QMetaType>
#include <QString>

#include "TavlinExport.h"

// A receiver as the application sees it.
class TAVLIN_EXPORT DeviceInformation {
public:
    DeviceInformation() = default;
    DeviceInformation(const QString &deviceIP, const QString &deviceName)
        : m_deviceIP(deviceIP), m_deviceName(deviceName)
    {
    }

    QString deviceIP() const { return m_deviceIP; }
    void setDeviceIP(const QString &deviceIP) { m_deviceIP = deviceIP; }
    QString deviceName() const { return m_deviceName; }
    void setDeviceName(const QString &deviceName) { m_deviceName = deviceName; }

    bool operator==(const DeviceInformation &other) const = default;

private:
    QString m_deviceIP;
    QString m_deviceName;
};

Q_DECLARE_METATYPE(DeviceInformation)
