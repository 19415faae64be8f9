#pragma once

#include <QHash>
#include <QList>

#include "Device/Device.h"
#include "DeviceInformation.h"

// The facade's receiver lists and the rules that keep them: replies merge into
// device_list, the application's view deviceListArray is rebuilt sorted by
// name, and receivers that stopped answering are pruned.
//
// Whatever a network sends, the lists stay small: at most kMaxReceivers
// receivers (a reply from an unknown address is dropped while the list is
// full), names cut to kMaxNameBytes of UTF-8, and the replies since the last
// prune kept once per address.
class DeviceLists {
public:
    static constexpr qsizetype kMaxReceivers = 256;
    static constexpr qsizetype kMaxNameBytes = 256;

    // The known receivers, at most one per address, in order of arrival.
    QList<Device> device_list;
    // The last reply of every address since the last prune.
    QHash<QString, Device> device_update_list;
    // What the application sees, sorted by name.
    QList<DeviceInformation> deviceListArray;
    // The previous deviceListArray, for the change test.
    QList<DeviceInformation> oldDeviceListArray;
    // Scratch list of the sort.
    QList<DeviceInformation> tempDeviceListArray;

    // Merges one reply and rebuilds; true when the application's list changed.
    bool addReply(const Device &reply);
    // Drops the receivers that did not answer since the last prune and
    // rebuilds; true when the application's list changed (it may now be empty).
    bool prune();
    // Empties every list; the next reply counts as a change.
    void clear();

    // The steps, for callers that need them one at a time.
    void merge(const Device &reply);
    void rebuild();
    bool isChanged() const;
    // Rebuilds after one or more merges; true when the application's list
    // changed. Nothing happens while no receiver is known.
    bool refresh();

    // How often the application's list was rebuilt and sorted.
    qint64 rebuildCount() const { return m_rebuildCount; }

private:
    void rebuildFromDeviceList();

    qint64 m_rebuildCount = 0;
    bool m_fullReported = false;
};
