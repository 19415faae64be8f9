// The facade's receiver list: from search replies to deviceListChanged.

#include <QCoreApplication>
#include <QTimer>
#include <QNetworkInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QUdpSocket>

#include "FacadeTestRig.h"
#include "ReceiverEmulatorThread.h"
#include "SearchDevicesFunc/SearchCodec.h"
#include "SearchResponder.h"

using TestSupport::spin;
using TestSupport::waitFor;

namespace {

Device reply(const QString &ip, const QString &name, qint64 features = 0x10100040)
{
    Device device;
    device.mHostIp = ip;
    device.mDevicename = name;
    device.mServer_features = features;
    return device;
}

// One emulated receiver answering search on its own address.
struct EmulatedReceiver {
    EmulatedReceiver(const QHostAddress &address, const QString &name, quint16 port = SearchResponder::kDefaultPort,
                     const QHostAddress &listen = QHostAddress())
        : thread(address)
    {
        thread.call([&](ReceiverEmulator &emulator) {
            ReceiverProfile profile;
            profile.name = name;
            emulator.setProfile(profile);
            responder = emulator.addComponent<SearchResponder>(port, listen);
        });
        started = thread.start();
    }
    void setSilent(bool silent)
    {
        thread.call([this, silent](ReceiverEmulator &) { responder->setSilent(silent); });
    }

    ReceiverEmulatorThread thread;
    SearchResponder *responder = nullptr;
    bool started = false;
};

QString entry(const QString &name, const QHostAddress &address)
{
    return name + QLatin1Char('@') + address.toString();
}

const char kNamespaceChild[] = "QUAVDESK_SEARCH_NETNS_CHILD";

} // namespace

TEST_F(FacadeTest, RepliesBecomeASortedListAndOnlyChangesAreReported)
{
    auto facade = makeFacade();
    TavlinSDKPrivate *d = TavlinSDKPrivate::get(facade.get());
    // One reply per turn of the event loop.
    for (const Device &each : {reply("10.0.0.2", "beta"), reply("10.0.0.2", "beta"), reply("10.0.0.3", "Alpha"),
                               reply("10.0.0.3", "Alpha", 0x40) /* bits alone: no news */, reply("10.0.0.2", "Beta")}) {
        d->handleSearchReply(each);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(delegate.lists, (QList<QStringList>{
                                  {"beta@10.0.0.2"},
                                  {"Alpha@10.0.0.3", "beta@10.0.0.2"},
                                  {"Alpha@10.0.0.3", "Beta@10.0.0.2"},
                              }));
}

TEST_F(FacadeTest, NetworkLossForgetsTheReceiversSoTheirNextReplyIsNews)
{
    auto facade = makeFacade();
    TavlinSDKPrivate *d = TavlinSDKPrivate::get(facade.get());
    d->handleSearchReply(reply("10.0.0.2", "Room A"));
    QCoreApplication::processEvents();
    ipv4->setPresent(false);
    ipv4->setPresent(true);
    d->handleSearchReply(reply("10.0.0.2", "Room A"));
    QCoreApplication::processEvents();
    EXPECT_EQ(delegate.lists, (QList<QStringList>{{"Room A@10.0.0.2"}, {"Room A@10.0.0.2"}}));
}

TEST_F(FacadeTest, StopDeviceSearchStopsProbesAndEmptiesTheListsQuietly)
{
    auto facade = makeFacade();
    TavlinSDKPrivate *d = TavlinSDKPrivate::get(facade.get());
    d->handleSearchReply(reply("10.0.0.2", "Room A"));
    QCoreApplication::processEvents();
    const qsizetype start = journal.size();
    facade->stopDeviceSearch();
    EXPECT_FALSE(d->deviceManager->isSearching());
    EXPECT_TRUE(d->lists.device_list.isEmpty());
    EXPECT_TRUE(d->lists.deviceListArray.isEmpty());
    EXPECT_EQ(appEvents(start), QStringList());
    // The list timer keeps running.
    EXPECT_TRUE(d->updateDeviceListTimer->isActive());
}

TEST_F(FacadeTest, RepliesOfOneTurnAreSortedAndReportedOnce)
{
    auto facade = makeFacade();
    TavlinSDKPrivate *d = TavlinSDKPrivate::get(facade.get());
    for (int i = 0; i < 2000; ++i)
        d->handleSearchReply(reply(QStringLiteral("10.2.%1.%2").arg(i / 200).arg(i % 200), QStringLiteral("R%1").arg(i)));
    EXPECT_EQ(d->lists.rebuildCount(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(d->lists.rebuildCount(), 1);
    ASSERT_EQ(delegate.lists.size(), 1);
    EXPECT_EQ(delegate.lists.first().size(), DeviceLists::kMaxReceivers);
    spin(20); // for a second report that must not come
    EXPECT_EQ(d->lists.rebuildCount(), 1);
    EXPECT_EQ(delegate.lists.size(), 1);
}

TEST_F(FacadeTest, ASearchStormFromManyAddressesIsHeldToTheBounds)
{
    const TavlinServices s = services();
    TavlinSDK facade(&delegate, s);
    TavlinSDKPrivate *d = TavlinSDKPrivate::get(&facade);
    const QHostAddress target = s.search.bindAddress;
    const quint16 port = d->deviceManager->localPort();
    ASSERT_NE(port, 0);

    // 400 senders on addresses of their own, each with an over-long name,
    // in bursts between turns of the event loop.
    const QHostAddress base = TestSupport::uniqueLoopbackAddress();
    const QByteArray longName(600, 'n');
    constexpr int kSenders = 400;
    constexpr int kBurst = 100;
    std::vector<std::unique_ptr<QUdpSocket>> senders;
    for (int i = 0; i < kSenders; ++i) {
        auto sender = std::make_unique<QUdpSocket>();
        const QHostAddress from(QStringLiteral("127.%1.%2.%3")
                                    .arg((base.toIPv4Address() >> 16) & 0xff)
                                    .arg(200 + i / 250)
                                    .arg(1 + i % 250));
        ASSERT_TRUE(sender->bind(from, 0)) << from.toString().toStdString();
        senders.push_back(std::move(sender));
    }
    int bursts = 0;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < kSenders; ++i) {
            const QByteArray datagram = "X:" + longName + QByteArray::number(i) + ":8121:0:0:10100040:1e";
            senders[i]->writeDatagram(datagram, target, port);
            if ((i + 1) % kBurst == 0) {
                QCoreApplication::processEvents();
                ++bursts;
            }
        }
    }
    ASSERT_TRUE(waitFor([&] { return d->lists.device_list.size() == DeviceLists::kMaxReceivers; }));
    spin(50); // the rest of the storm arrives meanwhile and must be dropped
    EXPECT_EQ(d->lists.device_list.size(), DeviceLists::kMaxReceivers);
    EXPECT_LE(d->lists.device_update_list.size(), DeviceLists::kMaxReceivers);
    for (const QStringList &list : std::as_const(delegate.lists))
        EXPECT_LE(list.size(), DeviceLists::kMaxReceivers);
    for (const Device &device : std::as_const(d->lists.device_list))
        EXPECT_LE(device.mDevicename.toUtf8().size(), DeviceLists::kMaxNameBytes);
    // Each burst is read in a turn or two; the list is rebuilt once per turn,
    // not once per datagram.
    EXPECT_LE(d->lists.rebuildCount(), 2 * bursts);
}

TEST_F(FacadeTest, PruneTimerDropsSilentReceiversAndSaysSo)
{
    TavlinServices s = services();
    s.timings.deviceListPruneIntervalMs = 40;
    TavlinSDK facade(&delegate, s);
    TavlinSDKPrivate *d = TavlinSDKPrivate::get(&facade);
    d->handleSearchReply(reply("10.0.0.2", "Room A"));
    d->handleSearchReply(reply("10.0.0.3", "Room B"));
    ASSERT_TRUE(waitFor([&] { return delegate.lists.size() == 2; }));
    EXPECT_EQ(delegate.lists.first(), (QStringList{"Room A@10.0.0.2", "Room B@10.0.0.3"}));
    EXPECT_EQ(delegate.lists.last(), QStringList());
    spin(150); // more prunes, which must not report again
    EXPECT_EQ(delegate.lists.size(), 2);
}

TEST_F(FacadeTest, EmulatedReceiversAppearSortedAndASilentOneLeavesAtTheNextPrune)
{
    EmulatedReceiver zeta(TestSupport::uniqueLoopbackAddress(), QStringLiteral("Zeta"));
    EmulatedReceiver alpha(TestSupport::uniqueLoopbackAddress(), QStringLiteral("Alpha"));
    ASSERT_TRUE(zeta.started && alpha.started);

    TavlinServices s = services();
    s.search.probeAddresses = {zeta.thread.address(), alpha.thread.address()};
    s.search.probePort = SearchResponder::kDefaultPort;
    s.search.bindPort = 48689;
    s.timings.searchProbeIntervalMs = 50;
    s.timings.deviceListPruneIntervalMs = 1000;
    TavlinSDK facade(&delegate, s);

    const QStringList both = {entry("Alpha", alpha.thread.address()), entry("Zeta", zeta.thread.address())};
    ASSERT_TRUE(waitFor([&] { return !delegate.lists.isEmpty() && delegate.lists.last() == both; }, 10000));
    EXPECT_EQ(alpha.responder->lastProbeSourcePort(), 48689);

    int prunes = 0;
    QObject::connect(TavlinSDKPrivate::get(&facade)->updateDeviceListTimer.get(), &QTimer::timeout, [&] { ++prunes; });
    alpha.setSilent(true);
    const qsizetype reported = delegate.lists.size();
    const QStringList onlyZeta = {entry("Zeta", zeta.thread.address())};
    ASSERT_TRUE(waitFor([&] { return delegate.lists.last() == onlyZeta; }, 10000));
    // At the latest the second prune after the last reply: one before it may
    // still have seen that reply, and a reply already on its way as the
    // silence began may still come after the first.
    EXPECT_LE(prunes, 3);
    EXPECT_EQ(delegate.lists.size(), reported + 1);

    alpha.setSilent(false);
    ASSERT_TRUE(waitFor([&] { return delegate.lists.last() == both; }, 10000));
}

// Real broadcasts to 255.255.255.255 on the production port, inside a
// network namespace of this test's own that holds only a loopback device.
TEST(FacadeBroadcast, FindsReceiversByBroadcastInAPrivateNetwork)
{
    if (qEnvironmentVariableIsSet(kNamespaceChild)) {
        // Never broadcast anywhere but in the private namespace.
        const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
        ASSERT_EQ(interfaces.size(), 1);
        ASSERT_TRUE(interfaces.first().flags() & QNetworkInterface::IsLoopBack);

        TavlinGlobal::resetAll();
        const QHostAddress everyone(QStringLiteral("255.255.255.255"));
        EmulatedReceiver zeta(QHostAddress(QStringLiteral("127.0.0.2")), QStringLiteral("Zeta"),
                              SearchResponder::kDefaultPort, everyone);
        EmulatedReceiver alpha(QHostAddress(QStringLiteral("127.0.0.3")), QStringLiteral("Alpha"),
                               SearchResponder::kDefaultPort, everyone);
        ASSERT_TRUE(zeta.started && alpha.started);

        Journal journal;
        RecordingDelegate delegate(&journal);
        TavlinServices s;
        s.store = std::make_shared<JournalStore>(&journal);
        s.userInfo = std::make_shared<FixedUserInfo>();
        // Production search endpoints and probe interval.
        ASSERT_EQ(s.search, SearchEndpoints{});
        TavlinSDK facade(&delegate, s);
        ASSERT_EQ(TavlinSDKPrivate::get(&facade)->deviceManager, &DevicesManager::defaultManager());

        const QStringList both = {QStringLiteral("Alpha@127.0.0.3"), QStringLiteral("Zeta@127.0.0.2")};
        ASSERT_TRUE(waitFor([&] { return !delegate.lists.isEmpty() && delegate.lists.last() == both; }, 10000));
        EXPECT_EQ(alpha.responder->lastProbe(), SearchCodec::buildSearchDevicesMessage());
        EXPECT_EQ(alpha.responder->lastProbeSource(), QHostAddress(QStringLiteral("127.0.0.1")));
        EXPECT_EQ(alpha.responder->lastProbeSourcePort(), 48689);
        return;
    }

    const QStringList tools = {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin"),
                               QStringLiteral("/bin")};
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"), tools);
    const QString ip = QStandardPaths::findExecutable(QStringLiteral("ip"), tools);
    bool available = !unshare.isEmpty() && !ip.isEmpty();
    if (available)
        available = QProcess::execute(unshare, {QStringLiteral("-rn"), QStringLiteral("/bin/true")}) == 0;
    if (!TestSupport::requireFacility("unprivileged network namespace (unshare -rn) and ip", available))
        return;

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kNamespaceChild), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    const QString script = QStringLiteral("set -e; \"$1\" link set lo up; "
                                          "\"$1\" route add default dev lo src 127.0.0.1; "
                                          "exec \"$2\" --gtest_filter=FacadeBroadcast.FindsReceiversByBroadcastInAPrivateNetwork");
    child.start(unshare, {QStringLiteral("-rn"), QStringLiteral("/bin/sh"), QStringLiteral("-c"), script,
                          QStringLiteral("netns"), ip, QCoreApplication::applicationFilePath()});
    ASSERT_TRUE(child.waitForStarted(10000));
    ASSERT_TRUE(child.waitForFinished(120000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output.constData();
    EXPECT_EQ(child.exitCode(), 0) << output.constData();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.constData();
}
