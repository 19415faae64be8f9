// Receiver search against emulated receivers on loopback addresses.

#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <gtest/gtest.h>
#include <memory>

#include "LogCapture.h"
#include "ReceiverEmulatorThread.h"
#include "SearchDevicesFunc/DevicesManager.h"
#include "SearchDevicesFunc/SearchCodec.h"
#include "SearchResponder.h"
#include "TestSupport.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

using TestSupport::spin;
using TestSupport::waitFor;

namespace {

const QString kSendFailed = QStringLiteral("send search device cmd failed \n");

// One emulated receiver with a search responder on its own loopback address.
struct Receiver {
    explicit Receiver(const QString &name, qint64 features = 0x10100040)
        : thread(TestSupport::uniqueLoopbackAddress())
    {
        thread.call([&](ReceiverEmulator &emulator) {
            ReceiverProfile profile;
            profile.name = name;
            profile.features = features;
            emulator.setProfile(profile);
            responder = emulator.addComponent<SearchResponder>(quint16(0));
        });
        EXPECT_TRUE(thread.start());
        port = thread.call([this](ReceiverEmulator &) { return responder->port(); });
    }
    int probes() { return thread.call([this](ReceiverEmulator &) { return responder->probeCount(); }); }
    int replies() { return thread.call([this](ReceiverEmulator &) { return responder->replyCount(); }); }
    void setSilent(bool silent)
    {
        thread.call([this, silent](ReceiverEmulator &) { responder->setSilent(silent); });
    }
    QHostAddress address() const { return thread.address(); }

    ReceiverEmulatorThread thread;
    SearchResponder *responder = nullptr;
    quint16 port = 0;
};

SearchEndpoints endpointsTo(const Receiver &receiver, const QHostAddress &bindAddress = TestSupport::uniqueLoopbackAddress(),
                            quint16 bindPort = 0)
{
    SearchEndpoints endpoints;
    endpoints.probeAddresses = {receiver.address()};
    endpoints.probePort = receiver.port;
    endpoints.bindAddress = bindAddress;
    endpoints.bindPort = bindPort;
    return endpoints;
}

// Sends raw datagrams to the search socket as some receiver would.
struct RawSender {
    RawSender() { socket.bind(TestSupport::uniqueLoopbackAddress(), 0); }
    void send(const QByteArray &bytes, const QHostAddress &to, quint16 port) { socket.writeDatagram(bytes, to, port); }
    QUdpSocket socket;
};

// Returns once the receiver has read every probe sent before the call: a
// probe of the test's own goes out behind them, and its reply comes back.
bool probesRead(Receiver &receiver)
{
    RawSender marker;
    marker.send(SearchCodec::buildSearchDevicesMessage(), receiver.address(), receiver.port);
    return waitFor([&] { return marker.socket.hasPendingDatagrams(); });
}

class DevicesManagerTest : public ::testing::Test {
protected:
    void SetUp() override { TavlinGlobal::resetAll(); }

    DevicesManager::SearchBlock collect()
    {
        return [this](const Device &device) { found.append(device); };
    }

    QList<Device> found;
};

} // namespace

TEST_F(DevicesManagerTest, FirstProbeGoesOutAtOnceWithTheExactBytes)
{
    Receiver receiver("Room A");
    // An interval far longer than the test: only the immediate probe can arrive.
    DevicesManager manager(endpointsTo(receiver), 600000);
    manager.StartSearch(collect());
    ASSERT_TRUE(waitFor([&] { return receiver.probes() == 1; }));
    const QByteArray probe = receiver.thread.call([&](ReceiverEmulator &) { return receiver.responder->lastProbe(); });
    EXPECT_EQ(probe, SearchCodec::buildSearchDevicesMessage());

    ASSERT_TRUE(waitFor([&] { return found.size() == 1; }));
    const Device &device = found.first();
    EXPECT_EQ(device.mDevicename, QStringLiteral("Room A"));
    EXPECT_EQ(device.mHostIp, receiver.address().toString());
    EXPECT_EQ(device.mPort, 8121);
    EXPECT_EQ(device.mServer_features, 0x10100040);
    EXPECT_EQ(device.mFps, 30);
    spin(100); // for a second probe that must not come
    EXPECT_EQ(receiver.probes(), 1);
}

TEST_F(DevicesManagerTest, ProbesRepeatEveryIntervalAndStopKeepsListening)
{
    Receiver receiver("Room A");
    const QHostAddress local = TestSupport::uniqueLoopbackAddress();
    // The production local port, on an address of this test alone.
    DevicesManager manager(endpointsTo(receiver, local, 48689), 60);
    EXPECT_EQ(manager.localPort(), 48689);
    manager.StartSearch(collect());
    ASSERT_TRUE(waitFor([&] { return receiver.probes() >= 4; }));
    const QHostAddress source = receiver.thread.call([&](ReceiverEmulator &) { return receiver.responder->lastProbeSource(); });
    EXPECT_EQ(source, local);
    ASSERT_TRUE(waitFor([&] { return found.size() >= 4; }));

    manager.StopSearch();
    EXPECT_FALSE(manager.isSearching());
    ASSERT_TRUE(probesRead(receiver));
    const int probesAtStop = receiver.probes();
    spin(300); // for a probe that must not come
    EXPECT_EQ(receiver.probes(), probesAtStop);

    // Replies that still come are handed on.
    found.clear();
    RawSender sender;
    sender.send("X:Late:1:0:0:40:1e", local, 48689);
    ASSERT_TRUE(waitFor([&] { return found.size() == 1; }));
    EXPECT_EQ(found.first().mDevicename, QStringLiteral("Late"));
    EXPECT_EQ(found.first().mHostIp, sender.socket.localAddress().toString());
}

TEST_F(DevicesManagerTest, PauseStopsProbesAndIgnoresRepliesUntilResume)
{
    Receiver receiver("Room A");
    const SearchEndpoints endpoints = endpointsTo(receiver);
    DevicesManager manager(endpoints, 60);
    manager.StartSearch(collect());
    ASSERT_TRUE(waitFor([&] { return found.size() >= 1; }));

    manager.PauseSearch();
    ASSERT_TRUE(probesRead(receiver));
    QCoreApplication::processEvents();
    found.clear();
    const int probesAtPause = receiver.probes();
    RawSender sender;
    sender.send("X:Paused:1:0:0:40:1e", endpoints.bindAddress, manager.localPort());
    spin(300); // the reply arrives meanwhile and must be dropped, and no probe may go out
    EXPECT_EQ(receiver.probes(), probesAtPause);
    EXPECT_TRUE(found.isEmpty());

    manager.ResumeSearch();
    ASSERT_TRUE(waitFor([&] { return receiver.probes() == probesAtPause + 1; }));
    ASSERT_TRUE(waitFor([&] { return !found.isEmpty(); }));
    EXPECT_EQ(found.first().mDevicename, QStringLiteral("Room A"));
}

TEST_F(DevicesManagerTest, RefusedSendIsLoggedAndTheLoopGoesOn)
{
    LogCapture log;
    SearchEndpoints endpoints;
    // An IPv6 destination from an IPv4 socket is refused at once.
    endpoints.probeAddresses = {QHostAddress(QHostAddress::LocalHostIPv6)};
    endpoints.probePort = 9;
    endpoints.bindAddress = TestSupport::uniqueLoopbackAddress();
    endpoints.bindPort = 0;
    DevicesManager manager(endpoints, 40);
    manager.StartSearch(collect());
    EXPECT_EQ(log.count(kSendFailed), 1);
    EXPECT_TRUE(waitFor([&] { return log.count(kSendFailed) >= 3; }));
    EXPECT_TRUE(manager.isSearching());
}

TEST_F(DevicesManagerTest, FailedBindIsIgnoredAndSearchStillWorks)
{
    Receiver receiver("Room A");
    // An address of no interface of this machine: the bind fails.
    DevicesManager manager(endpointsTo(receiver, QHostAddress(QStringLiteral("192.0.2.1")), 48689), 600000);
    EXPECT_EQ(manager.localPort(), 0);
    manager.StartSearch(collect());
    ASSERT_TRUE(waitFor([&] { return found.size() == 1; }));
    EXPECT_EQ(found.first().mHostIp, receiver.address().toString());
}

TEST_F(DevicesManagerTest, DualStackSocketStillAcceptsIPv4Senders)
{
    Receiver receiver("Room A");
    // An IPv6 socket sees IPv4 senders as ::ffff:a.b.c.d.
    DevicesManager manager(endpointsTo(receiver, QHostAddress(QHostAddress::Any), 0), 600000);
    manager.StartSearch(collect());
    ASSERT_TRUE(waitFor([&] { return found.size() == 1; }));
    EXPECT_EQ(found.first().mHostIp, receiver.address().toString());
}

TEST_F(DevicesManagerTest, MalformedRepliesAreLoggedAndDroppedOwnProbesSilently)
{
    LogCapture log;
    const QHostAddress local = TestSupport::uniqueLoopbackAddress();
    SearchEndpoints endpoints;
    // The probe comes back to the search socket itself, as a broadcast does.
    endpoints.probeAddresses = {local};
    endpoints.bindAddress = local;
    endpoints.bindPort = 48689;
    endpoints.probePort = 48689;
    DevicesManager manager(endpoints, 600000);
    manager.StartSearch(collect());
    spin(100); // the own probe comes back meanwhile, and must say nothing

    RawSender sender;
    const QList<QByteArray> malformed = {
        QByteArray(),
        "X:Room",
        "X:\xff\xfe:1:0:0:40:1e",
        "X:Caf\xc3",
        QByteArray(60000, '\xfe'),
        QByteArray(50, '\x01'),
    };
    for (const QByteArray &bytes : malformed)
        sender.send(bytes, local, 48689);
    sender.send("X:Good:1:0:0:40:1e", local, 48689);
    ASSERT_TRUE(waitFor([&] { return found.size() == 1; }));
    spin(50); // for a reply that must not come
    EXPECT_EQ(found.first().mDevicename, QStringLiteral("Good"));
    EXPECT_EQ(log.countContaining(QStringLiteral("search reply")), malformed.size());
    EXPECT_EQ(log.countContaining(QStringLiteral("too few fields")), 3);
    EXPECT_EQ(log.countContaining(QStringLiteral("not UTF-8")), 3);
}

TEST_F(DevicesManagerTest, SilentReceiverHearsProbesButAnswersNone)
{
    Receiver receiver("Room A");
    receiver.setSilent(true);
    DevicesManager manager(endpointsTo(receiver), 40);
    manager.StartSearch(collect());
    ASSERT_TRUE(waitFor([&] { return receiver.probes() >= 3; }));
    EXPECT_EQ(receiver.replies(), 0);
    EXPECT_TRUE(found.isEmpty());

    receiver.setSilent(false);
    ASSERT_TRUE(waitFor([&] { return !found.isEmpty(); }));
}

TEST_F(DevicesManagerTest, EmulatorReplyTextCarriesTheProfile)
{
    ReceiverProfile profile;
    profile.name = QStringLiteral("Room A");
    EXPECT_EQ(SearchResponder::replyText(profile), QByteArray("X:Room A:8121:0:0:10100040:1e"));
    profile.features = -1;
    profile.fps = 60;
    profile.port = 7000;
    profile.unregistered = true;
    EXPECT_EQ(SearchResponder::replyText(profile), QByteArray("X:Room A:7000:0:1:ffffffff:3c"));
}
