#include <gtest/gtest.h>

#include "SearchDevicesFunc/DeviceLists.h"

namespace {

Device reply(const QString &ip, const QString &name, qint64 features = 0x40)
{
    Device device;
    device.mHostIp = ip;
    device.mDevicename = name;
    device.mServer_features = features;
    device.mPort = 8121;
    device.mFps = 30;
    return device;
}

QStringList shown(const DeviceLists &lists)
{
    QStringList out;
    for (const DeviceInformation &information : lists.deviceListArray)
        out.append(information.deviceName() + QLatin1Char('@') + information.deviceIP());
    return out;
}

QStringList known(const DeviceLists &lists)
{
    QStringList out;
    for (const Device &device : lists.device_list)
        out.append(device.mDevicename);
    return out;
}

} // namespace

TEST(DeviceLists, RepeatedRepliesAreOneEntryAndNoChange)
{
    DeviceLists lists;
    EXPECT_TRUE(lists.addReply(reply("10.0.0.2", "Room A")));
    EXPECT_FALSE(lists.addReply(reply("10.0.0.2", "Room A")));
    EXPECT_FALSE(lists.addReply(reply("10.0.0.2", "Room A")));
    EXPECT_EQ(lists.device_list.size(), 1);
    // The replies of one address since the prune are kept once.
    EXPECT_EQ(lists.device_update_list.size(), 1);
    EXPECT_EQ(shown(lists), QStringList{"Room A@10.0.0.2"});
    // A single entry is moved, not copied, out of the scratch list.
    EXPECT_TRUE(lists.tempDeviceListArray.isEmpty());
}

TEST(DeviceLists, NewNameAtKnownAddressReplacesAndMovesToTheEnd)
{
    DeviceLists lists;
    lists.addReply(reply("10.0.0.2", "Room A"));
    lists.addReply(reply("10.0.0.3", "Room B"));
    EXPECT_EQ(known(lists), (QStringList{"Room A", "Room B"}));

    EXPECT_TRUE(lists.addReply(reply("10.0.0.2", "Room C")));
    EXPECT_EQ(known(lists), (QStringList{"Room B", "Room C"}));
    EXPECT_EQ(shown(lists), (QStringList{"Room B@10.0.0.3", "Room C@10.0.0.2"}));
}

TEST(DeviceLists, NewFeatureBitsAloneReplaceTheEntryWithoutAChange)
{
    DeviceLists lists;
    lists.addReply(reply("10.0.0.2", "Room A", 0x40));
    lists.addReply(reply("10.0.0.3", "Room B", 0x40));
    EXPECT_FALSE(lists.addReply(reply("10.0.0.2", "Room A", 0x100040)));
    EXPECT_EQ(known(lists), (QStringList{"Room B", "Room A"}));
    EXPECT_EQ(lists.device_list.last().mServer_features, 0x100040);
}

TEST(DeviceLists, SortIsByNameInCodeUnitOrder)
{
    DeviceLists lists;
    lists.addReply(reply("10.0.0.1", "b"));
    lists.addReply(reply("10.0.0.2", "B"));
    EXPECT_EQ(shown(lists), (QStringList{"B@10.0.0.2", "b@10.0.0.1"}));

    lists.addReply(reply("10.0.0.3", "alpha"));
    lists.addReply(reply("10.0.0.4", "Zeta"));
    lists.addReply(reply("10.0.0.5", "\u00c4rger"));
    EXPECT_EQ(shown(lists), (QStringList{"B@10.0.0.2", "Zeta@10.0.0.4", "alpha@10.0.0.3", "b@10.0.0.1",
                                         "\u00c4rger@10.0.0.5"}));
    // The scratch list keeps the arrival order.
    EXPECT_EQ(lists.tempDeviceListArray.first().deviceName(), QStringLiteral("b"));
}

TEST(DeviceLists, ChangeTestLooksAtAddressesAndNamesInOrder)
{
    DeviceLists lists;
    lists.addReply(reply("10.0.0.1", "Same"));
    // Same name, other address: the list changed.
    EXPECT_TRUE(lists.addReply(reply("10.0.0.2", "Same")));
    EXPECT_EQ(lists.oldDeviceListArray.size(), 1);
    EXPECT_EQ(lists.deviceListArray.size(), 2);
}

TEST(DeviceLists, PruneDropsReceiversThatFellSilentAndReportsIt)
{
    DeviceLists lists;
    lists.addReply(reply("10.0.0.1", "Alpha"));
    lists.addReply(reply("10.0.0.2", "Beta"));
    lists.device_update_list.clear();
    // Only Beta answers during the next period.
    lists.addReply(reply("10.0.0.2", "Beta"));

    EXPECT_TRUE(lists.prune());
    EXPECT_EQ(shown(lists), QStringList{"Beta@10.0.0.2"});
    EXPECT_TRUE(lists.device_update_list.isEmpty());

    // Beta answers again: unchanged, and a prune keeps it.
    EXPECT_FALSE(lists.addReply(reply("10.0.0.2", "Beta")));
    EXPECT_FALSE(lists.prune());
    EXPECT_EQ(shown(lists), QStringList{"Beta@10.0.0.2"});
}

TEST(DeviceLists, PruneKeepsOnlyEntriesMatchingAReplyInNameAndFeatures)
{
    DeviceLists lists;
    lists.addReply(reply("10.0.0.1", "Alpha", 0x40));
    lists.device_update_list.clear();
    // A reply of the same address with other bits, but the entry was put
    // back to the old bits by hand: the entry has no matching reply.
    lists.device_update_list.insert(QStringLiteral("10.0.0.1"), reply("10.0.0.1", "Alpha", 0x100040));
    EXPECT_TRUE(lists.prune());
    EXPECT_TRUE(lists.device_list.isEmpty());
    EXPECT_TRUE(lists.deviceListArray.isEmpty());
}

TEST(DeviceLists, APeriodWithoutRepliesEmptiesTheListOnceAndTheNextReplyIsNews)
{
    DeviceLists lists;
    lists.addReply(reply("10.0.0.1", "Alpha"));
    lists.addReply(reply("10.0.0.2", "Beta"));
    EXPECT_FALSE(lists.prune());   // both answered
    EXPECT_TRUE(lists.prune());    // nobody answered
    EXPECT_TRUE(lists.device_list.isEmpty());
    EXPECT_TRUE(lists.deviceListArray.isEmpty());
    EXPECT_TRUE(lists.tempDeviceListArray.isEmpty());
    EXPECT_FALSE(lists.prune());   // still nobody: nothing new to say

    EXPECT_TRUE(lists.addReply(reply("10.0.0.2", "Beta")));
    EXPECT_EQ(shown(lists), QStringList{"Beta@10.0.0.2"});
}

TEST(DeviceLists, ClearMakesTheSameReceiversNewsAgain)
{
    DeviceLists lists;
    lists.addReply(reply("10.0.0.1", "Alpha"));
    lists.clear();
    EXPECT_TRUE(lists.deviceListArray.isEmpty());
    EXPECT_TRUE(lists.addReply(reply("10.0.0.1", "Alpha")));
}

TEST(DeviceLists, RebuildLeavesTheListsAloneWhileNothingIsKnown)
{
    DeviceLists lists;
    lists.deviceListArray.append(DeviceInformation("10.0.0.9", "Stale"));
    lists.rebuild();
    EXPECT_EQ(lists.deviceListArray.size(), 1);
}

TEST(DeviceLists, AStormOfReceiversIsHeldToTheBounds)
{
    DeviceLists lists;
    // Three passes of 1,000 receivers, each with an over-long name.
    const QString longName = QString(300, QChar(u'\u00e9'));   // two bytes each
    for (int pass = 0; pass < 3; ++pass) {
        for (int i = 0; i < 1000; ++i)
            lists.merge(reply(QStringLiteral("10.1.%1.%2").arg(i / 250).arg(i % 250), longName + QString::number(i)));
    }
    EXPECT_EQ(lists.device_list.size(), DeviceLists::kMaxReceivers);
    EXPECT_EQ(lists.device_update_list.size(), DeviceLists::kMaxReceivers);
    for (const Device &device : std::as_const(lists.device_list))
        EXPECT_LE(device.mDevicename.toUtf8().size(), DeviceLists::kMaxNameBytes);
    // Cut at a character boundary: 128 whole two-byte characters.
    EXPECT_EQ(lists.device_list.first().mDevicename, longName.left(128));
    EXPECT_EQ(lists.rebuildCount(), 0);
    EXPECT_TRUE(lists.refresh());
    EXPECT_EQ(lists.rebuildCount(), 1);
    EXPECT_EQ(lists.deviceListArray.size(), DeviceLists::kMaxReceivers);

    // The known ones stay known while the list is full; once silent ones are
    // pruned, newcomers find room.
    lists.prune();
    for (int i = 0; i < 10; ++i)
        lists.merge(reply(QStringLiteral("10.1.0.%1").arg(i), longName + QString::number(i)));
    lists.merge(reply(QStringLiteral("10.9.9.9"), QStringLiteral("Late")));
    EXPECT_EQ(lists.device_list.size(), DeviceLists::kMaxReceivers);
    lists.prune();
    EXPECT_EQ(lists.device_list.size(), 10);
    lists.merge(reply(QStringLiteral("10.9.9.9"), QStringLiteral("Late")));
    EXPECT_EQ(lists.device_list.size(), 11);
}
