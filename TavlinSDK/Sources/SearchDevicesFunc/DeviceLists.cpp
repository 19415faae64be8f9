#include "DeviceLists.h"

#include <algorithm>

namespace {

DeviceInformation informationOf(const Device &device)
{
    DeviceInformation information;
    information.setDeviceName(device.mDevicename);
    information.setDeviceIP(device.mHostIp);
    return information;
}

} // namespace

void DeviceLists::merge(const Device &reply)
{
    bool known = false;
    for (qsizetype i = 0; i < device_list.size(); ++i) {
        const Device &entry = device_list.at(i);
        if (entry.mHostIp != reply.mHostIp)
            continue;
        if (entry.mDevicename != reply.mDevicename || entry.mServer_features != reply.mServer_features)
            device_list.removeAt(i);
        else
            known = true;
        break;
    }
    if (!known)
        device_list.append(reply);
    device_update_list.append(reply);
}

void DeviceLists::rebuild()
{
    if (device_list.isEmpty())
        return;
    rebuildFromDeviceList();
}

void DeviceLists::rebuildFromDeviceList()
{
    oldDeviceListArray.clear();
    for (const DeviceInformation &information : std::as_const(deviceListArray))
        oldDeviceListArray.append(DeviceInformation(information.deviceIP(), information.deviceName()));

    deviceListArray.clear();
    tempDeviceListArray.clear();
    for (const Device &device : std::as_const(device_list))
        tempDeviceListArray.append(informationOf(device));

    if (tempDeviceListArray.size() == 1) {
        deviceListArray.append(tempDeviceListArray.takeFirst());
        return;
    }
    QList<DeviceInformation> sorted = tempDeviceListArray;
    // Plain code-unit order: capitals before lower case, no locale.
    std::stable_sort(sorted.begin(), sorted.end(), [](const DeviceInformation &a, const DeviceInformation &b) {
        return QString::compare(a.deviceName(), b.deviceName(), Qt::CaseSensitive) < 0;
    });
    deviceListArray.append(sorted);
}

bool DeviceLists::isChanged() const
{
    if (oldDeviceListArray.size() != deviceListArray.size())
        return true;
    for (qsizetype i = 0; i < deviceListArray.size(); ++i) {
        if (oldDeviceListArray.at(i).deviceIP() != deviceListArray.at(i).deviceIP()
            || oldDeviceListArray.at(i).deviceName() != deviceListArray.at(i).deviceName())
            return true;
    }
    return false;
}

bool DeviceLists::addReply(const Device &reply)
{
    merge(reply);
    if (device_list.isEmpty())
        return false;
    rebuild();
    return isChanged();
}

bool DeviceLists::prune()
{
    if (device_update_list.isEmpty()) {
        device_list.clear();
    } else {
        device_list.removeIf([this](const Device &entry) {
            return std::none_of(device_update_list.cbegin(), device_update_list.cend(), [&entry](const Device &reply) {
                return reply.mHostIp == entry.mHostIp && reply.mDevicename == entry.mDevicename
                    && reply.mServer_features == entry.mServer_features;
            });
        });
        device_update_list.clear();
    }
    // A receiver that fell silent must leave the application's list now, not
    // at some other receiver's next reply.
    rebuildFromDeviceList();
    return isChanged();
}

void DeviceLists::clear()
{
    device_list.clear();
    device_update_list.clear();
    deviceListArray.clear();
    oldDeviceListArray.clear();
    tempDeviceListArray.clear();
}
