#pragma once

// A receiver emulator on a loopback address of its own (search, handshake
// with the casting code "123456", master control, RTSP), and a share manager
// over the real casting library pointed at it. Only the system's services
// and the media senders are doubles. Test fixtures derive from
// EmulatedReceiverTest, or from the rig next to ::testing::Test and call
// setUpRig() and tearDownRig().

#include "Main/Model/QVKVOModel.h"
#include "PublicManager/QVShareManager.h"
#include "PublicManager/QVTavlinSDKAdapter.h"

#include "CastTestDoubles.h"
#include "FakeDisplaySleepInhibitor.h"
#include "FakePlatform.h"
#include "FakeSenders.h"
#include "HandshakeServer.h"
#include "MasterControlServer.h"
#include "ReceiverEmulatorThread.h"
#include "RtspReceiver.h"
#include "SearchResponder.h"
#include "TestSupport.h"

#include "MainControl/TLConnectPack/TLConnectPack.h"
#include "MainControl/TLMasterControlPack/TLMasterControlPack.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"
#include "Utils/settings/settings.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

inline const QString EmulatedCastingCode = QStringLiteral("123456");

class EmulatedReceiverRig
{
public:
    // Starts the emulator; call from the test's SetUp.
    void setUpRig()
    {
        TavlinGlobal::resetAll();
        receiverAddress = TestSupport::uniqueLoopbackAddress();
        ownAddress = TestSupport::uniqueLoopbackAddress();
        receiver = std::make_unique<ReceiverEmulatorThread>(receiverAddress);
        ASSERT_TRUE(rtsp.listen(receiverAddress));
        receiver->call([&](ReceiverEmulator &emulator) {
            ReceiverProfile profile = emulator.profile();
            profile.name = QStringLiteral("Meeting Room");
            emulator.setProfile(profile);
            search = emulator.addComponent<SearchResponder>(quint16(0));
            handshake = emulator.addComponent<HandshakeServer>(quint16(0));
            master = emulator.addComponent<MasterControlServer>(quint16(0));
        });
        ASSERT_TRUE(receiver->start());
        HandshakeBehaviour behaviour;
        behaviour.castingCode = EmulatedCastingCode;
        behaviour.ports = {{QStringLiteral("51040"), rtsp.port()}, {QStringLiteral("57395"), master->port()}};
        handshake->setBehaviour(behaviour);
        // The receiver wants to be asked before each cast.
        MasterControlBehaviour masterBehaviour;
        masterBehaviour.castMode = 2;
        masterBehaviour.castReply = 1;
        master->setBehaviour(masterBehaviour);
    }

    void tearDownRig()
    {
        QVShareManager::setSharedShareManager(nullptr);
        manager.reset();
        TestSupport::runPostedEvents();
        settings::setStore(nullptr);
        TavlinGlobal::resetAll();
    }

    TavlinServices libraryServices()
    {
        TavlinServices s;
        s.store = store;
        s.userInfo = std::make_shared<Platform::Fake::FakeUserInfo>();
        s.machineInfo = std::make_shared<Platform::Fake::FakeMachineInfo>();
        s.activityInhibitor = std::make_shared<Platform::Fake::FakeActivityInhibitor>();
        s.screenLockMonitor = std::make_shared<Platform::Fake::FakeScreenLockMonitor>();
        s.ipv4Monitor = std::make_shared<Platform::Fake::FakePrimaryIPv4Monitor>();
        auto addresses = std::make_shared<Platform::Fake::FakeInterfaceAddresses>();
        addresses->ipv4 = ownAddress.toString();
        s.interfaceAddresses = addresses;
        s.screenCaptureAccess = capture;

        ConnectPackTimings connectTimings;
        connectTimings.handshakePort = handshake->port();
        s.connectSessionFactory = [connectTimings](ConnectPackDelegate *delegate) -> std::unique_ptr<ConnectSession> {
            return std::make_unique<TLConnectPack>(delegate, connectTimings);
        };

        MasterControlServices masterServices;
        masterServices.timings.heartbeatIntervalMs = 100;
        masterServices.timings.castRequestTimeoutMs = castRequestTimeoutMs;
        masterServices.screenCaptureAccess = capture;
        masterServices.store = store;
        masterServices.clientName = [] { return QStringLiteral("Tester"); };
        masterServices.versionName = QStringLiteral("1.0.0");
        masterServices.versionCode = 1;
        masterServices.cast.rtsp.senders = senders.factory();
        masterServices.cast.rtsp.store = store;
        masterServices.cast.rtsp.userInfo = s.userInfo;
        masterServices.cast.rtsp.timings.keepAliveIntervalMs = 100;
        masterServices.cast.soundDevices = sound.devices;
        masterServices.cast.displaySleepInhibitor = displayInhibitor;
        masterServices.cast.timings.stoppedControlLingerMs = 200;
        s.masterControlSessionFactory =
            [masterServices](MasterControlPackDelegate *delegate) -> std::unique_ptr<MasterControlSession> {
            return std::make_unique<TLMasterControlPack>(delegate, masterServices);
        };

        // The probe goes only to the emulated receiver's loopback address.
        s.search.probeAddresses = {receiverAddress};
        s.search.probePort = search->port();
        s.search.bindAddress = ownAddress;
        s.search.bindPort = 0;
        s.timings.searchProbeIntervalMs = 200;
        s.timings.deviceListPruneIntervalMs = 60000;
        return s;
    }

    void makeManager()
    {
        QVShareManagerServices services;
        services.tavlinFactory = [this](TavlinDelegate *delegate) -> std::unique_ptr<QVTavlinInterface> {
            return std::make_unique<QVTavlinSDKAdapter>(delegate, libraryServices());
        };
        services.screenCaptureAccess = capture;
        services.timings.disconnectResetMs = 150;
        manager = std::make_unique<QVShareManager>(services);
        model = manager->kvoModel();
        manager->setConnectDeviceStatusBlock([this](qint64 status) { outcomes.append(status); });
    }

    // Search, then connect with a wrong and then the right casting code.
    void findAndConnect()
    {
        makeManager();
        ASSERT_TRUE(TestSupport::waitFor([&] { return !model->deviceList().isEmpty(); }, 10000));
        const DeviceInformation found = model->deviceList().first();
        EXPECT_EQ(found.deviceIP(), receiverAddress.toString());
        EXPECT_EQ(found.deviceName(), QStringLiteral("Meeting Room"));
        EXPECT_EQ(model->networkStatus(), 0);

        ASSERT_TRUE(manager->connectDeviceWithIp(found.deviceIP()));
        ASSERT_TRUE(TestSupport::waitFor([&] { return outcomes == QList<qint64>{1}; }, 10000)) << outcomes.size();

        ASSERT_TRUE(manager->connectDeviceByIpCheckPwd(QStringLiteral("654321")));
        EXPECT_FALSE(manager->connectStatus());
        ASSERT_TRUE(TestSupport::waitFor([&] { return outcomes.size() == 2; }, 10000));
        EXPECT_EQ(outcomes.at(1), 2);
        EXPECT_EQ(manager->connectError().code, 1);
        EXPECT_FALSE(manager->connectStatus());

        ASSERT_TRUE(manager->connectDeviceByIpCheckPwd(EmulatedCastingCode));
        ASSERT_TRUE(TestSupport::waitFor([&] { return outcomes.size() == 3; }, 10000));
        EXPECT_EQ(outcomes.at(2), 0);
        EXPECT_TRUE(manager->connectStatus());
        manager->setConnectDeviceModel(found);

        // The master-control session comes up with the receiver.
        ASSERT_TRUE(TestSupport::waitFor([&] { return master->count(QStringLiteral("heartbeat")) > 0; }, 10000));
    }

    void cast()
    {
        QSignalSpy replySpy(model, &QVKVOModel::replyCastStatusChanged);
        QSignalSpy castSpy(model, &QVKVOModel::castScreenStatusChanged);
        // The receiver's cast mode is known once its heartbeat replies have
        // come back; the third heartbeat is sent well after the first reply.
        ASSERT_TRUE(TestSupport::waitFor([&] { return master->count(QStringLiteral("heartbeat")) >= 3; }, 10000));
        manager->startMirror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return !castSpy.isEmpty(); }, 10000));
        EXPECT_EQ(model->castScreenStatus(), 0);
        ASSERT_FALSE(replySpy.isEmpty());
        EXPECT_EQ(replySpy.first().at(0).toLongLong(), 1);
        EXPECT_EQ(master->count(QStringLiteral("requestCast")), 1);
        EXPECT_EQ(sound.current(), sound.sonvale.id);
        EXPECT_FALSE(displayInhibitor->held.isEmpty());
        ASSERT_TRUE(TestSupport::waitFor([&] { return rtsp.methods().contains("SETUP"); }));
    }

    // Found, connected and casting.
    void connectAndCast()
    {
        findAndConnect();
        if (::testing::Test::HasFatalFailure())
            return;
        cast();
    }

    QHostAddress receiverAddress;
    QHostAddress ownAddress;
    RtspReceiver rtsp;
    std::unique_ptr<ReceiverEmulatorThread> receiver;
    SearchResponder *search = nullptr;
    HandshakeServer *handshake = nullptr;
    MasterControlServer *master = nullptr;

    std::shared_ptr<Platform::Fake::FakeKeyValueStore> store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
    std::shared_ptr<Platform::Fake::FakeScreenCaptureAccess> capture =
        std::make_shared<Platform::Fake::FakeScreenCaptureAccess>();
    std::shared_ptr<Platform::Fake::FakeDisplaySleepInhibitor> displayInhibitor =
        std::make_shared<Platform::Fake::FakeDisplaySleepInhibitor>();
    FakeSenders senders;
    FakeSoundSetup sound;
    // How long the library waits for the receiver's answer to a cast request.
    int castRequestTimeoutMs = 5000;

    std::unique_ptr<QVShareManager> manager;
    QVKVOModel *model = nullptr;
    QList<qint64> outcomes;
};

// The rig as a test fixture.
class EmulatedReceiverTest : public ::testing::Test, protected EmulatedReceiverRig
{
protected:
    void SetUp() override { setUpRig(); }
    void TearDown() override { tearDownRig(); }
};
