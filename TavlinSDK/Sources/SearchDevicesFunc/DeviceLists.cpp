#include "DeviceLists.h"

#include <QDebug>
#include <algorithm>

namespace {

DeviceInformation informationOf(const Device &device)
{
    DeviceInformation information;
    information.setDeviceName(device.mDevicename);
    information.setDeviceIP(device.mHostIp);
    return information;
}

// A name cut to the bound, at a character boundary.
QString boundedName(const QString &name)
{
    const QByteArray utf8 = name.toUtf8();
    if (utf8.size() <= DeviceLists::kMaxNameBytes)
        return name;
    qsizetype end = DeviceLists::kMaxNameBytes;
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
        --end;
    return QString::fromUtf8(utf8.left(end));
}

} // namespace

void DeviceLists::merge(const Device &received)
{
    Device reply = received;
    reply.mDevicename = boundedName(received.mDevicename);
    bool known = false;
    bool present = false;
    for (qsizetype i = 0; i < device_list.size(); ++i) {
        const Device &entry = device_list.at(i);
        if (entry.mHostIp != reply.mHostIp)
            continue;
        present = true;
        if (entry.mDevicename != reply.mDevicename || entry.mServer_features != reply.mServer_features)
            device_list.removeAt(i);
        else
            known = true;
        break;
    }
    if (!present && device_list.size() >= kMaxReceivers) {
        if (!m_fullReported) {
            qInfo("receiver list full (%lld receivers): replies of further receivers dropped",
                  static_cast<long long>(kMaxReceivers));
            m_fullReported = true;
        }
        return;
    }
    if (!known)
        device_list.append(reply);
    device_update_list.insert(reply.mHostIp, reply);
}

void DeviceLists::rebuild()
{
    if (device_list.isEmpty())
        return;
    rebuildFromDeviceList();
}

void DeviceLists::rebuildFromDeviceList()
{
    ++m_rebuildCount;
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

bool DeviceLists::refresh()
{
    if (device_list.isEmpty())
        return false;
    rebuild();
    return isChanged();
}

bool DeviceLists::addReply(const Device &reply)
{
    merge(reply);
    return refresh();
}

bool DeviceLists::prune()
{
    if (device_update_list.isEmpty()) {
        device_list.clear();
    } else {
        device_list.removeIf([this](const Device &entry) {
            const auto reply = device_update_list.constFind(entry.mHostIp);
            return reply == device_update_list.cend() || reply->mDevicename != entry.mDevicename
                || reply->mServer_features != entry.mServer_features;
        });
        device_update_list.clear();
    }
    if (device_list.size() < kMaxReceivers)
        m_fullReported = false;
    // A receiver that fell silent must leave the application's list now, not
    // at some other receiver's next reply.
    rebuildFromDeviceList();
    return isChanged();
}

void DeviceLists::clear()
{
    m_fullReported = false;
    device_list.clear();
    device_update_list.clear();
    deviceListArray.clear();
    oldDeviceListArray.clear();
    tempDeviceListArray.clear();
}
