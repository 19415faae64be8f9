// Sequences of search replies, from many senders, into the receiver lists,
// with prunes and clears between them. After every step the lists must keep
// their rules: one entry per address holding its latest name and features,
// at most the bound of receivers, one rebuild per reply at most,
// the application's view sorted by name and made of exactly those entries,
// the change flag true exactly when that view changed, and a prune keeping
// exactly the receivers that replied since the one before.

#include <QByteArray>
#include <QSet>
#include <QString>
#include <cstdint>
#include <algorithm>
#include <cstdlib>

#include "FuzzSupport.h"
#include "SearchDevicesFunc/DeviceLists.h"
#include "SearchDevicesFunc/SearchCodec.h"

namespace {

// One receiver as a prune compares it: address, name and features.
QString entryOf(const Device &device)
{
    return device.mHostIp + QChar(0) + device.mDevicename + QChar(0) + QString::number(device.mServer_features);
}

QList<QPair<QString, QString>> viewOf(const DeviceLists &lists)
{
    QList<QPair<QString, QString>> view;
    for (const DeviceInformation &information : lists.deviceListArray)
        view.append({information.deviceIP(), information.deviceName()});
    return view;
}

void checkView(const DeviceLists &lists)
{
    QSet<QString> addresses;
    QList<QPair<QString, QString>> expected;
    for (const Device &device : lists.device_list) {
        if (addresses.contains(device.mHostIp))
            std::abort();
        addresses.insert(device.mHostIp);
        expected.append({device.mHostIp, device.mDevicename});
    }
    QList<QPair<QString, QString>> view = viewOf(lists);
    for (qsizetype i = 1; i < view.size(); ++i) {
        if (QString::compare(view[i - 1].second, view[i].second, Qt::CaseSensitive) > 0)
            std::abort();
    }
    std::sort(expected.begin(), expected.end());
    std::sort(view.begin(), view.end());
    if (view != expected)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(FuzzSupport::quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Input in(data, size);
    DeviceLists lists;
    // What replied since the last prune.
    QSet<QString> replied;
    while (!in.atEnd()) {
        const uint8_t op = in.byte();
        const auto before = viewOf(lists);
        if (op % 8 == 7) {
            if (op & 0x80) {
                lists.clear();
                replied.clear();
                if (!lists.device_list.isEmpty() || !lists.deviceListArray.isEmpty())
                    std::abort();
                continue;
            }
            const QList<Device> kept = lists.device_list;
            const bool changed = lists.prune();
            QList<Device> expected;
            for (const Device &device : kept) {
                if (replied.contains(entryOf(device)))
                    expected.append(device);
            }
            if (lists.device_list != expected || changed != (viewOf(lists) != before))
                std::abort();
            replied.clear();
            checkView(lists);
            continue;
        }
        // Few senders, so that replies meet earlier ones, or many.
        const uint8_t who = in.byte();
        const QString source = op & 0x80 ? QStringLiteral("10.0.%1.%2").arg(op & 0x7f).arg(who)
                                         : QStringLiteral("10.0.0.%1").arg(who % 4);
        const SearchCodec::ParsedReply reply = SearchCodec::parseSearchReply(in.chunk(), source);
        if (reply.status != SearchCodec::ReplyStatus::Accepted)
            continue;
        const qsizetype knownBefore = lists.device_list.size();
        const bool wasKnown = std::any_of(lists.device_list.cbegin(), lists.device_list.cend(),
                                          [&](const Device &device) { return device.mHostIp == source; });
        const qint64 rebuildsBefore = lists.rebuildCount();
        const bool changed = lists.addReply(reply.device);
        // A reply costs at most one rebuild, and the list never outgrows its bound.
        if (lists.rebuildCount() - rebuildsBefore > 1 || lists.device_list.size() > DeviceLists::kMaxReceivers)
            std::abort();
        replied.insert(entryOf(reply.device));
        bool found = false;
        for (const Device &device : lists.device_list) {
            if (device.mHostIp == source) {
                found = device.mDevicename == reply.device.mDevicename
                    && device.mServer_features == reply.device.mServer_features;
                break;
            }
        }
        // Only a new address may be turned away, and only by a full list.
        const bool turnedAway = !wasKnown && knownBefore >= DeviceLists::kMaxReceivers
            && std::none_of(lists.device_list.cbegin(), lists.device_list.cend(),
                            [&](const Device &device) { return device.mHostIp == source; });
        if ((!found && !turnedAway) || changed != (viewOf(lists) != before))
            std::abort();
        checkView(lists);
    }
    return 0;
}
