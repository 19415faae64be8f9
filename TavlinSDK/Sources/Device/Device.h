#pragma once

#include <QString>
#include <memory>

// The library's own record of a receiver. A search reply fills it; the chosen
// receiver's record is shared by every session object of a connection.
struct Device {
    QString mDevicename;
    QString mHostIp;
    qint64 mPort = 0;
    qint64 mServer_features = 0;
    qint64 mFps = 0;
    bool mUnReg = false;

    bool operator==(const Device &other) const = default;
};

using DevicePtr = std::shared_ptr<Device>;
