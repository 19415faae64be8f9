#pragma once

#include <QList>

#include "Device/Device.h"
#include "DeviceInformation.h"
#include "TavlinExport.h"

// The facade's receiver lists and the rules that keep them: replies merge into
// device_list, the application's view deviceListArray is rebuilt sorted by
// name, and receivers that stopped answering are pruned.
class DeviceLists {
public:
    // The known receivers, at most one per address, in order of arrival.
    QList<Device> device_list;
    // Every reply since the last prune, duplicates included.
    QList<Device> device_update_list;
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

private:
    void rebuildFromDeviceList();
};
