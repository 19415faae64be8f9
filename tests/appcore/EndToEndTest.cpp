// The share manager over the real casting library, against the receiver
// emulator on a loopback address of its own: search, connect with a casting
// code, cast, full screen, disconnect and quit, each step seen in the session
// model. Only the system's services and the media senders are doubles.

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

using TestSupport::waitFor;

namespace {

const QString CastingCode = QStringLiteral("123456");

class EndToEndTest : public ::testing::Test
{
protected:
    void SetUp() override
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
        behaviour.castingCode = CastingCode;
        behaviour.ports = {{QStringLiteral("51040"), rtsp.port()}, {QStringLiteral("57395"), master->port()}};
        handshake->setBehaviour(behaviour);
        // The receiver wants to be asked before each cast.
        MasterControlBehaviour masterBehaviour;
        masterBehaviour.castMode = 2;
        masterBehaviour.castReply = 1;
        master->setBehaviour(masterBehaviour);
    }

    void TearDown() override
    {
        manager.reset();
        TestSupport::spin(50);
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
        masterServices.timings.castRequestTimeoutMs = 5000;
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
        ASSERT_TRUE(waitFor([&] { return !model->deviceList().isEmpty(); }, 10000));
        const DeviceInformation found = model->deviceList().first();
        EXPECT_EQ(found.deviceIP(), receiverAddress.toString());
        EXPECT_EQ(found.deviceName(), QStringLiteral("Meeting Room"));
        EXPECT_EQ(model->networkStatus(), 0);

        ASSERT_TRUE(manager->connectDeviceWithIp(found.deviceIP()));
        ASSERT_TRUE(waitFor([&] { return outcomes == QList<qint64>{1}; }, 10000)) << outcomes.size();

        ASSERT_TRUE(manager->connectDeviceByIpCheckPwd(QStringLiteral("654321")));
        EXPECT_FALSE(manager->connectStatus());
        ASSERT_TRUE(waitFor([&] { return outcomes.size() == 2; }, 10000));
        EXPECT_EQ(outcomes.at(1), 2);
        EXPECT_EQ(manager->connectError().code, 1);
        EXPECT_FALSE(manager->connectStatus());

        ASSERT_TRUE(manager->connectDeviceByIpCheckPwd(CastingCode));
        ASSERT_TRUE(waitFor([&] { return outcomes.size() == 3; }, 10000));
        EXPECT_EQ(outcomes.at(2), 0);
        EXPECT_TRUE(manager->connectStatus());
        manager->setConnectDeviceModel(found);

        // The master-control session comes up with the receiver.
        ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("heartbeat")) > 0; }, 10000));
    }

    void cast()
    {
        QSignalSpy replySpy(model, &QVKVOModel::replyCastStatusChanged);
        QSignalSpy castSpy(model, &QVKVOModel::castScreenStatusChanged);
        // The receiver's cast mode is known once its heartbeat replies have
        // come back; the third heartbeat is sent well after the first reply.
        ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("heartbeat")) >= 3; }, 10000));
        manager->startMirror();
        ASSERT_TRUE(waitFor([&] { return !castSpy.isEmpty(); }, 10000));
        EXPECT_EQ(model->castScreenStatus(), 0);
        ASSERT_FALSE(replySpy.isEmpty());
        EXPECT_EQ(replySpy.first().at(0).toLongLong(), 1);
        EXPECT_EQ(master->count(QStringLiteral("requestCast")), 1);
        EXPECT_EQ(sound.current(), sound.sonvale.id);
        EXPECT_FALSE(displayInhibitor->held.isEmpty());
        ASSERT_TRUE(waitFor([&] { return rtsp.methods().contains("SETUP"); }, 5000));
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

    std::unique_ptr<QVShareManager> manager;
    QVKVOModel *model = nullptr;
    QList<qint64> outcomes;
};

} // namespace

TEST_F(EndToEndTest, SearchConnectCastFullScreenAndDisconnect)
{
    findAndConnect();
    if (HasFatalFailure())
        return;
    cast();
    if (HasFatalFailure())
        return;

    // Full screen: this program's request, then the receiver's own report.
    QSignalSpy styleSpy(model, &QVKVOModel::fullScreenStatusStyleChanged);
    ASSERT_TRUE(manager->setFullScreenStatus(1));
    EXPECT_EQ(model->fullScreenStatus(), 1);
    ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("requestCast")) == 2; }, 5000));
    ASSERT_TRUE(waitFor([&] { return !styleSpy.isEmpty() && model->fullScreenStatusStyle() == 1; }, 5000));

    // Freeze and resume are accepted while the cast runs.
    EXPECT_TRUE(manager->setPauseCastStatus(1));
    EXPECT_TRUE(manager->setPauseCastStatus(0));

    // Stop the cast: the sound goes back to the user's output.
    manager->stopMirror();
    ASSERT_TRUE(waitFor([&] { return model->castScreenStatus() == 1; }, 5000));
    EXPECT_EQ(sound.current(), sound.speakers.id);

    // The user's disconnect: reason 0, then the silent reset.
    QSignalSpy typeSpy(model, &QVKVOModel::disconnectDeviceTypeChanged);
    manager->disconnectWithDevice();
    EXPECT_FALSE(manager->connectStatus());
    ASSERT_FALSE(typeSpy.isEmpty());
    for (const QList<QVariant> &told : typeSpy)
        EXPECT_EQ(told.at(0).toLongLong(), 0);
    EXPECT_EQ(model->disconnectDeviceType(), 0);
    ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("disconnect")) > 0; }, 5000));
    ASSERT_TRUE(waitFor([&] { return model->disconnectDeviceType() == 4; }, 5000));
    EXPECT_EQ(model->fullScreenStatus(), 0);
    EXPECT_EQ(model->castScreenStatus(), 1);
    EXPECT_EQ(model->replyCastStatus(), 1);
    // The receiver list is untouched by the reset.
    EXPECT_FALSE(model->deviceList().isEmpty());
    EXPECT_EQ(manager->connectDeviceModel().deviceIP(), receiverAddress.toString());
}

TEST_F(EndToEndTest, QuittingDuringACastGivesTheSoundBackAndLeavesTheReceiver)
{
    findAndConnect();
    if (HasFatalFailure())
        return;
    cast();
    if (HasFatalFailure())
        return;

    manager->terminate();
    EXPECT_EQ(manager->tavlinSDK(), nullptr);
    EXPECT_FALSE(manager->connectStatus());
    EXPECT_EQ(sound.current(), sound.speakers.id);
    EXPECT_TRUE(displayInhibitor->held.isEmpty());
    EXPECT_FALSE(senders.shared().videoAlive);
    ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("disconnect")) > 0; }, 5000));
    ASSERT_TRUE(waitFor([&] { return master->openConnections() == 0; }, 5000));
}

TEST_F(EndToEndTest, SearchProbesOnlyTheEmulatedReceiver)
{
    makeManager();
    ASSERT_TRUE(waitFor([&] { return model->deviceList().size() == 1; }, 10000));
    EXPECT_GT(search->probeCount(), 0);
    EXPECT_EQ(search->lastProbeSource(), ownAddress);
    EXPECT_FALSE(manager->connectStatus());
    EXPECT_TRUE(outcomes.isEmpty());
}
