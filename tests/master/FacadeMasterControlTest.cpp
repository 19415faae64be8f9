// The facade with the real handshake, master-control session, cast session
// and cast control session against the emulated receiver (handshake, master
// control and cast control ports, the latter two moved through the port
// table); the platform, the screen senders and the sound server are doubles.

#include <QStandardPaths>
#include <gtest/gtest.h>

#include "Platform/LinuxServices.h"
#include "FakeSenders.h"
#include "MainControl/TLConnectPack/TLConnectPack.h"
#include "MasterTestSupport.h"
#include "QuietSearch.h"
#include "RtspReceiver.h"
#include "TavlinSDK.h"
#include "TavlinServices.h"
#include "Utils/settings/settings.h"

using namespace MasterTest;
using TestSupport::spin;
using TestSupport::waitFor;

namespace {

struct AppRecorder final : TavlinDelegate {
    void connectDeviceSuccess(ServerInfo info) override { note(QStringLiteral("connected(%1)").arg(info.deviceName)); }
    void connectDeviceWithError(const TavlinError &error) override
    {
        note(QStringLiteral("connectError(%1)").arg(describe(error)));
    }
    void deviceDidDisconnectWithError(const OptionalTavlinError &error) override
    {
        note(QStringLiteral("disconnected(%1)").arg(describe(error)));
    }
    void castSuccess() override { note(QStringLiteral("castSuccess")); }
    void castStopWithError(const OptionalTavlinError &error) override
    {
        note(QStringLiteral("castStop(%1)").arg(describe(error)));
    }
    void allowFullScreenStateChanged(qint64 state) override { note(QStringLiteral("allowFullScreen(%1)").arg(state)); }
    void fullScreenStateChanged(qint64 state) override { note(QStringLiteral("fullScreen(%1)").arg(state)); }
    void replyCastRequest(qint64 reply) override { note(QStringLiteral("replyCastRequest(%1)").arg(reply)); }

    int count(const QString &event) const { return static_cast<int>(events.count(event)); }
    void note(const QString &event) { events.append(event); }
    QStringList events;
};

class FacadeMasterControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TavlinGlobal::resetAll();
        TavlinGlobal::resetSockets();
        TavlinGlobal::setClientNameSource([] { return QStringLiteral("Tester Mac"); });
        address = TestSupport::uniqueLoopbackAddress();
        emulator = std::make_unique<ReceiverEmulator>(address);
        ReceiverProfile profile;
        profile.name = QStringLiteral("Room A");
        profile.features = FeatureBits::kMasterControl | FeatureBits::kDynamicPorts | FeatureBits::kNotTvReceiver;
        emulator->setProfile(profile);
        handshake = emulator->addComponent<HandshakeServer>(quint16(0));
        master = emulator->addComponent<MasterControlServer>(quint16(0));
        ASSERT_TRUE(emulator->start()) << emulator->errorString().toStdString();
        ASSERT_TRUE(rtsp.listen(address));
        HandshakeBehaviour behaviour;
        behaviour.portsChanged = true;
        behaviour.ports.insert(QStringLiteral("57395"), master->port());
        behaviour.ports.insert(QStringLiteral("51040"), rtsp.port());
        handshake->setBehaviour(behaviour);
    }
    void TearDown() override
    {
        facade.reset();
        TestSupport::runPostedEvents();
        TavlinGlobal::resetSockets();
        emulator.reset();
        TestSupport::runPostedEvents();
        settings::setStore(nullptr);
        TavlinGlobal::setClientNameSource([] { return QString(); });
        TavlinGlobal::resetAll();
    }

    TavlinSDK &makeFacade()
    {
        TavlinServices s;
        s.store = store;
        s.userInfo = std::make_shared<Platform::Fake::FakeUserInfo>();
        s.machineInfo = std::make_shared<Platform::Fake::FakeMachineInfo>();
        s.activityInhibitor = std::make_shared<Platform::Fake::FakeActivityInhibitor>();
        s.screenLockMonitor = lockMonitor;
        s.ipv4Monitor = ipv4;
        s.interfaceAddresses = std::make_shared<Platform::Fake::FakeInterfaceAddresses>();
        s.screenCaptureAccess = captureAccess;
        ConnectPackTimings connectTimings;
        connectTimings.connectTimeoutMs = 1000;
        connectTimings.nameWaitMs = 300;
        connectTimings.checkPasswordTimeoutMs = 1000;
        connectTimings.handshakePort = handshake->port();
        s.connectSessionFactory = [connectTimings](ConnectPackDelegate *delegate) -> std::unique_ptr<ConnectSession> {
            return std::make_unique<TLConnectPack>(delegate, connectTimings);
        };
        MasterControlServices m;
        m.timings.heartbeatIntervalMs = 50;
        m.timings.castRequestTimeoutMs = 1000;
        m.cast.rtsp.senders = senders.factory();
        m.cast.rtsp.store = store;
        m.cast.rtsp.userInfo = s.userInfo;
        m.cast.rtsp.timings.keepAliveIntervalMs = 100;
        m.cast.rtsp.timings.stopGraceMs = 200;
        m.cast.soundDevices = sound.devices;
        m.cast.displaySleepInhibitor = inhibitor;
        m.cast.timings.pauseDelayMs = 60;
        m.cast.timings.stoppedControlLingerMs = 300;
        m.screenCaptureAccess = captureAccess;
        m.store = store;
        m.versionName = QStringLiteral("2.5.1");
        m.versionCode = 251;
        s.masterControlSessionFactory = [m](MasterControlPackDelegate *delegate) -> std::unique_ptr<MasterControlSession> {
            return std::make_unique<TLMasterControlPack>(delegate, m);
        };
        TestSupport::quietSearch(s);
        store->setValue(QStringLiteral("TavlinMacClientName"), QStringLiteral("Tester Mac"));
        facade = std::make_unique<TavlinSDK>(&app, s);
        return *facade;
    }
    // Connected, with the receiver's first heartbeat reply taken in.
    TavlinSDK &connected()
    {
        TavlinSDK &f = makeFacade();
        EXPECT_TRUE(f.connectDeviceByIp(address.toString()));
        EXPECT_TRUE(waitFor([&] { return app.count("connected(Room A)") == 1; }));
        EXPECT_TRUE(waitFor([&] { return app.count("allowFullScreen(1)") == 1; }));
        EXPECT_TRUE(f.isConnected());
        return f;
    }
    bool receiverReports(qint64 castMode)
    {
        MasterControlBehaviour b = master->behaviour();
        b.castMode = castMode;
        master->setBehaviour(b);
        return waitFor([&] { return TavlinGlobal::getCastMode() == castMode; });
    }
    // Casts under the receiver's current cast mode; true once it runs.
    bool cast(TavlinSDK &f)
    {
        const int before = app.count("castSuccess");
        f.startMirror();
        return waitFor([&] { return app.count("castSuccess") == before + 1; }) && f.isCasting();
    }
    bool stop(TavlinSDK &f)
    {
        const int teardowns = static_cast<int>(rtsp.methods().count("TEARDOWN"));
        const int stops = app.count("castStop()");
        f.stopMirror();
        return app.count("castStop()") == stops + 1 && !f.isCasting()
            && waitFor([&] { return rtsp.methods().count("TEARDOWN") == teardowns + 1; });
    }

    QHostAddress address;
    std::unique_ptr<ReceiverEmulator> emulator;
    HandshakeServer *handshake = nullptr;
    MasterControlServer *master = nullptr;
    RtspReceiver rtsp;
    FakeSenders senders;
    FakeSoundSetup sound;
    std::shared_ptr<Platform::Fake::FakeKeyValueStore> store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
    std::shared_ptr<Platform::Fake::FakeDisplaySleepInhibitor> inhibitor =
        std::make_shared<Platform::Fake::FakeDisplaySleepInhibitor>();
    std::shared_ptr<Platform::Fake::FakeScreenCaptureAccess> captureAccess =
        std::make_shared<Platform::Fake::FakeScreenCaptureAccess>();
    std::shared_ptr<Platform::Fake::FakeScreenLockMonitor> lockMonitor =
        std::make_shared<Platform::Fake::FakeScreenLockMonitor>();
    std::shared_ptr<Platform::Fake::FakePrimaryIPv4Monitor> ipv4 = std::make_shared<Platform::Fake::FakePrimaryIPv4Monitor>();
    AppRecorder app;
    std::unique_ptr<TavlinSDK> facade;
};

} // namespace

TEST_F(FacadeMasterControlTest, CastsInBothModesSurvivesARestartAndGivesUpWhenTheReceiverIsGone)
{
    TavlinSDK &f = connected();
    EXPECT_EQ(master->count(QStringLiteral("reportClientInfo")), 1);

    // Cast mode 1: at once, with pause and full screen on the way.
    ASSERT_TRUE(cast(f));
    EXPECT_EQ(sound.current(), sound.sonvale.id);
    EXPECT_TRUE(f.setPauseCastStatus(1));
    ASSERT_TRUE(waitFor([&] { return senders.shared().videoPaused; }));
    EXPECT_TRUE(f.setPauseCastStatus(0));
    EXPECT_FALSE(senders.shared().videoPaused);
    EXPECT_TRUE(f.setFullScreenStatus(1));
    ASSERT_TRUE(waitFor([&] { return app.count("fullScreen(1)") == 1; }));
    EXPECT_TRUE(f.setFullScreenStatus(0));
    ASSERT_TRUE(waitFor([&] { return app.count("fullScreen(0)") == 1; }));
    ASSERT_TRUE(stop(f));
    EXPECT_EQ(sound.current(), sound.speakers.id);
    EXPECT_FALSE(f.setPauseCastStatus(1));
    EXPECT_FALSE(f.setFullScreenStatus(1));

    // Cast mode 2: only once the receiver agreed.
    ASSERT_TRUE(receiverReports(2));
    ASSERT_TRUE(cast(f));
    EXPECT_EQ(app.count("replyCastRequest(1)"), 1);
    EXPECT_LT(app.events.lastIndexOf("replyCastRequest(1)"), app.events.lastIndexOf("castSuccess"));
    ASSERT_TRUE(stop(f));
    EXPECT_EQ(rtsp.connectionCount(), 2);

    // The receiver restarts: the session reconnects and goes on.
    ASSERT_TRUE(master->restart());
    ASSERT_TRUE(waitFor([&] { return master->connectionCount() == 2 && master->heartbeats(1).contains(3); }));
    EXPECT_TRUE(f.isConnected());
    ASSERT_TRUE(receiverReports(1));
    ASSERT_TRUE(cast(f));
    EXPECT_TRUE(app.events.filter("disconnected").isEmpty());

    // The receiver is gone: the cast ends, then the session, with reason 2.
    master->stop();
    ASSERT_TRUE(waitFor([&] { return app.count("disconnected(Heartbeat timeout due to poor network,2)") == 1; },
                        20000));
    EXPECT_EQ(app.events.mid(app.events.size() - 2),
              (QStringList{"castStop()", "disconnected(Heartbeat timeout due to poor network,2)"}));
    EXPECT_FALSE(f.isConnected());
    EXPECT_FALSE(f.isCasting());
    EXPECT_EQ(sound.current(), sound.speakers.id);
    EXPECT_TRUE(inhibitor->held.isEmpty());
    f.startMirror();
    spin(100); // for a cast that must not start
    EXPECT_EQ(app.count("castSuccess"), 3);
}

TEST_F(FacadeMasterControlTest, TheUsersDisconnectEndsTheCastThenTheSessionAndTellsTheReceiver)
{
    TavlinSDK &f = connected();
    ASSERT_TRUE(cast(f));
    app.events.clear();
    f.disconnectWithDevice();
    EXPECT_EQ(app.events, (QStringList{"castStop()", "disconnected()"}));
    EXPECT_FALSE(f.isConnected());
    ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("disconnect")) == 1; }));
    ASSERT_TRUE(waitFor([&] { return master->openConnections() == 0; }));
    ASSERT_TRUE(waitFor([&] { return rtsp.methods().contains("TEARDOWN"); }));
    // Nothing more: neither a second disconnect nor a cast; the start is
    // refused at once.
    f.disconnectWithDevice();
    f.startMirror();
    spin(200); // for a second disconnect or a cast that must not come
    EXPECT_EQ(app.events, (QStringList{"castStop()", "disconnected()", "replyCastRequest(0)"}));
}

TEST_F(FacadeMasterControlTest, ALockedScreenOrALostNetworkEndTheSessionWithTheirReasons)
{
    TavlinSDK &f = connected();
    ASSERT_TRUE(cast(f));
    lockMonitor->lock();
    EXPECT_EQ(app.events.mid(app.events.size() - 2),
              (QStringList{"castStop()", "disconnected(disconnect due to user lock the screen,3)"}));
    EXPECT_EQ(master->count(QStringLiteral("disconnect")), 0);

    app.events.clear();
    ASSERT_TRUE(f.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitFor([&] { return app.count("connected(Room A)") == 1; }));
    ipv4->setPresent(false);
    EXPECT_EQ(app.events.filter("disconnected"), QStringList{"disconnected(disconnect for network unreachable,1)"});
    EXPECT_FALSE(f.isConnected());
}

TEST_F(FacadeMasterControlTest, ANewConnectEndsTheOldSessionQuietly)
{
    TavlinSDK &f = connected();
    ASSERT_TRUE(cast(f));
    app.events.clear();
    ASSERT_TRUE(f.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitFor([&] { return app.count("connected(Room A)") == 1; }));
    ASSERT_TRUE(waitFor([&] { return master->connectionCount() == 2 && !master->connectionOpen(0); }));
    EXPECT_TRUE(app.events.filter("disconnected").isEmpty());
    EXPECT_TRUE(app.events.filter("castStop").isEmpty());
    EXPECT_FALSE(f.isCasting());
    EXPECT_EQ(sound.current(), sound.speakers.id);
    EXPECT_TRUE(inhibitor->held.isEmpty());
    // The new session casts as the old one did.
    ASSERT_TRUE(waitFor([&] { return TavlinGlobal::getCastMode() == 1; }));
    ASSERT_TRUE(cast(f));
}

TEST_F(FacadeMasterControlTest, AConnectToAnotherReceiverEndsTheOldSessionFirstEvenWhenItFails)
{
    TavlinSDK &f = connected();
    ASSERT_TRUE(cast(f));
    app.events.clear();

    // Nothing listens there: the new handshake fails.
    const QHostAddress elsewhere = TestSupport::uniqueLoopbackAddress();
    ASSERT_TRUE(f.connectDeviceByIp(elsewhere.toString()));
    EXPECT_FALSE(TavlinGlobal::getIsConnecting());
    EXPECT_FALSE(f.isConnected());
    EXPECT_FALSE(f.isCasting());
    ASSERT_TRUE(waitFor([&] { return !app.events.filter("connectError").isEmpty(); }));

    // The old receiver was told and let go; its session does not live on.
    ASSERT_TRUE(waitFor([&] { return !master->connectionOpen(0); }));
    EXPECT_EQ(master->count(QStringLiteral("disconnect")), 1);
    const qsizetype heartbeats = master->heartbeats(0).size();
    spin(500); // for a heartbeat or a report that must not come
    EXPECT_EQ(master->heartbeats(0).size(), heartbeats);
    EXPECT_EQ(master->connectionCount(), 1);
    EXPECT_TRUE(app.events.filter("disconnected").isEmpty());
    EXPECT_TRUE(app.events.filter("castStop").isEmpty());
    EXPECT_EQ(sound.current(), sound.speakers.id);
    EXPECT_TRUE(inhibitor->held.isEmpty());
}

TEST_F(FacadeMasterControlTest, AConnectThatAnswersNoLeavesTheSessionAndItsCastRunning)
{
    TavlinSDK &f = connected();
    ASSERT_TRUE(cast(f));
    app.events.clear();
    // No address of our own: the six-digit code names no receiver.
    EXPECT_FALSE(f.connectDeviceBy6Digits(QStringLiteral("999998")));
    spin(300); // for a report or an end that must not come
    EXPECT_TRUE(app.events.isEmpty());
    EXPECT_TRUE(f.isConnected());
    EXPECT_TRUE(f.isCasting());
    EXPECT_EQ(sound.current(), sound.sonvale.id);
    EXPECT_EQ(master->count(QStringLiteral("disconnect")), 0);
    EXPECT_FALSE(rtsp.methods().contains("TEARDOWN"));
    EXPECT_EQ(handshake->connectionCount(), 1);
    EXPECT_TRUE(master->connectionOpen(0));
    // The session is the one the user still ends.
    ASSERT_TRUE(stop(f));
    f.disconnectWithDevice();
    ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("disconnect")) == 1; }));
}

TEST_F(FacadeMasterControlTest, AConnectElsewhereSaysGoodbyeToAReceiverWithoutMasterControl)
{
    ReceiverProfile profile = emulator->profile();
    profile.features = FeatureBits::kNotTvReceiver;
    emulator->setProfile(profile);
    TavlinSDK &f = makeFacade();
    ASSERT_TRUE(f.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitFor([&] { return app.count("connected(Room A)") == 1; }));

    // The goodbye goes out on the old handshake connection before the new
    // handshake replaces it.
    ASSERT_TRUE(f.connectDeviceByIp(TestSupport::uniqueLoopbackAddress().toString()));
    ASSERT_TRUE(waitFor([&] { return handshake->received(0).endsWith("sayByebye\r\nTester Mac\r\n\r\n"); }));
    ASSERT_TRUE(waitFor([&] { return !handshake->connectionOpen(0); }));
    EXPECT_EQ(master->connectionCount(), 0);
    EXPECT_TRUE(app.events.filter("disconnected").isEmpty());
}

TEST_F(FacadeMasterControlTest, ScreenRecordingOperationsNeedASession)
{
    TavlinSDK &f = makeFacade();
    EXPECT_FALSE(f.isCanRecordScreen());
    f.takeAScreenShot();
    EXPECT_EQ(captureAccess->requests, 0);
    EXPECT_FALSE(f.setPauseCastStatus(1));
    EXPECT_FALSE(f.setFullScreenStatus(1));

    ASSERT_TRUE(f.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitFor([&] { return f.isConnected(); }));
    EXPECT_TRUE(f.isCanRecordScreen());
    captureAccess->allowed = false;
    EXPECT_FALSE(f.isCanRecordScreen());
    f.takeAScreenShot();
    EXPECT_EQ(captureAccess->requests, 1);
}

TEST(FacadeMasterControlDefaults, TheSystemsServicesMakeTheMasterControlSession)
{
    QStandardPaths::setTestModeEnabled(true);
    const TavlinServices services = TavlinServices::fromPlatform(Platform::Linux::makePlatformServices());
    ASSERT_TRUE(services.masterControlSessionFactory);
    MasterRecorder recorder;
    std::unique_ptr<MasterControlSession> session = services.masterControlSessionFactory(&recorder);
    auto *pack = dynamic_cast<TLMasterControlPack *>(session.get());
    ASSERT_NE(pack, nullptr);
    EXPECT_EQ(pack->delegate(), &recorder);
    EXPECT_FALSE(pack->castPack()->isCasting());
}
