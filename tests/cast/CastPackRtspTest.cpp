// The cast session with the real control session against the emulated
// receiver's control port: what the receiver sees, and how each end of a
// cast reaches the cast session's delegate.

#include <gtest/gtest.h>

#include "CastTestDoubles.h"
#include "FakePlatform.h"
#include "FakeSenders.h"
#include "HangingListener.h"
#include "RtspReceiver.h"
#include "TestSupport.h"
#include "Utils/TavlinGlobal/DynamicPortTable.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"
#include "Utils/settings/settings.h"

using TestSupport::spin;
using TestSupport::waitFor;

namespace {

class CastPackRtspTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TavlinGlobal::resetAll();
        store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
        settings::setStore(store);
        address = TestSupport::uniqueLoopbackAddress();
        auto chosen = std::make_shared<Device>();
        chosen->mDevicename = QStringLiteral("Room A");
        chosen->mHostIp = address.toString();
        TavlinGlobal::setChoseDevice(chosen);
        TavlinGlobal::setIsConnecting(true);
        inhibitor = std::make_shared<Platform::Fake::FakeDisplaySleepInhibitor>();
    }
    void TearDown() override
    {
        pack.reset();
        TestSupport::runPostedEvents();
        settings::setStore(nullptr);
        TavlinGlobal::resetAll();
    }

    TLCastPack &startAgainst(RtspReceiver & /*receiver*/, int keepAliveMs = 100, int connectTimeoutMs = 3000)
    {
        CastPackServices s;
        s.rtsp.senders = senders.factory();
        s.rtsp.store = store;
        s.rtsp.userInfo = std::make_shared<Platform::Fake::FakeUserInfo>();
        s.rtsp.timings.connectTimeoutMs = TestSupport::scaled(connectTimeoutMs);
        s.rtsp.timings.keepAliveIntervalMs = TestSupport::scaled(keepAliveMs);
        s.rtsp.timings.stopGraceMs = TestSupport::scaled(200);
        s.soundDevices = sound.devices;
        s.displaySleepInhibitor = inhibitor;
        s.timings.pauseDelayMs = 60;
        s.timings.stoppedControlLingerMs = 400;
        pack = std::make_unique<TLCastPack>(&recorder, s);
        pack->castOperator(1);
        return *pack;
    }
    bool listen(RtspReceiver &receiver)
    {
        if (!receiver.listen(address))
            return false;
        DynamicPortTable::setDynamicPort_51040(receiver.port());
        return true;
    }
    void expectNothingHeld()
    {
        EXPECT_EQ(sound.current(), sound.speakers.id);
        EXPECT_TRUE(inhibitor->held.isEmpty());
        EXPECT_FALSE(TavlinGlobal::getIsCasting());
        EXPECT_FALSE(pack->isCasting());
    }

    std::shared_ptr<Platform::Fake::FakeKeyValueStore> store;
    QHostAddress address;
    FakeSenders senders;
    FakeSoundSetup sound;
    std::shared_ptr<Platform::Fake::FakeDisplaySleepInhibitor> inhibitor;
    CastRecorder recorder;
    std::unique_ptr<TLCastPack> pack;
};

} // namespace

TEST_F(CastPackRtspTest, ACastConnectsPausesResumesAndTearsDown)
{
    RtspReceiver receiver;
    ASSERT_TRUE(listen(receiver));
    TLCastPack &p = startAgainst(receiver);
    ASSERT_TRUE(waitFor([&] { return recorder.events == QStringList{"castSuccess"}; }));
    ASSERT_TRUE(waitFor([&] { return receiver.methods().contains("OPTIONS"); }));
    EXPECT_EQ(receiver.methods().first(), QByteArray("SETUP"));
    EXPECT_EQ(sound.current(), sound.sonvale.id);
    EXPECT_TRUE(p.isCasting());

    // Freeze reaches the picture after the delay; resume at once.
    p.pauseResumeCast(1);
    EXPECT_FALSE(senders.shared().videoPaused);
    ASSERT_TRUE(waitFor([&] { return senders.shared().videoPaused; }));
    p.pauseResumeCast(0);
    EXPECT_FALSE(senders.shared().videoPaused);

    // The stop's last request reaches the receiver before the connection goes.
    p.castOperator(0);
    EXPECT_EQ(recorder.events, (QStringList{"castSuccess", "castStop()"}));
    expectNothingHeld();
    ASSERT_TRUE(waitFor([&] { return receiver.methods().contains("TEARDOWN"); }));
    ASSERT_TRUE(waitFor([&] { return receiver.clientClosed(); }));
    spin(100); // for a report that must not come
    EXPECT_EQ(recorder.events, (QStringList{"castSuccess", "castStop()"}));
}

TEST_F(CastPackRtspTest, TheReceiverLeavingEndsTheCastWithTheServerExitError)
{
    RtspReceiver receiver;
    ASSERT_TRUE(listen(receiver));
    startAgainst(receiver);
    ASSERT_TRUE(waitFor([&] { return recorder.events == QStringList{"castSuccess"}; }));
    ASSERT_TRUE(waitFor([&] { return receiver.methods().contains("OPTIONS"); }));
    receiver.closeClient();
    ASSERT_TRUE(waitFor([&] { return recorder.events.size() == 2; }));
    EXPECT_EQ(recorder.events.at(1), QStringLiteral("castStop(MIRROR_SOCKET_CLOSE_BY_SERVEREXIT,-7)"));
    expectNothingHeld();
}

TEST_F(CastPackRtspTest, AnUnansweredKeepAliveEndsTheCastWithTheHeartbeatError)
{
    RtspReceiver::Behaviour behaviour;
    behaviour.answerOptions = false;
    RtspReceiver receiver(behaviour);
    ASSERT_TRUE(listen(receiver));
    startAgainst(receiver, 40);
    ASSERT_TRUE(waitFor([&] { return recorder.events.size() == 2; }));
    EXPECT_EQ(recorder.events,
              (QStringList{"castSuccess", "castStop(MIRROR_SOCKET_CLOSE_BY_HEARTBEAT_TIMEOUT,-8)"}));
    expectNothingHeld();
}

TEST_F(CastPackRtspTest, AConnectThatNeverCompletesEndsWithTheTimeOutError)
{
    TestSupport::HangingListener listener(address);
    ASSERT_TRUE(listener.fill());
    DynamicPortTable::setDynamicPort_51040(listener.port());
    RtspReceiver unused;
    startAgainst(unused, 100, 300);
    ASSERT_TRUE(waitFor([&] { return !recorder.events.isEmpty(); }));
    EXPECT_EQ(recorder.events, QStringList{"castStop(MIRROR_SOCKET_CLOSE_BY_TIMEOUT,-6)"});
    expectNothingHeld();
}
