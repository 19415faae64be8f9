#include <gtest/gtest.h>

#include <QTimer>

#include "FakePlatform.h"
#include "MainControl/TLConnectPack/TLConnectPack.h"
#include "MasterTestSupport.h"
#include "Rtsp/RTSPClient.h"
#include "Utils/ProtocolTimer.h"

namespace {

struct SilentConnect : ConnectPackDelegate {
    void connectPack_needEnterPwd() override {}
    void connectPack_pwdIncorrect(const TavlinError &) override {}
    void connectPack_connectDeviceCheckSuccess() override {}
    void connectPack_connectDeviceCheckWithError(const TavlinError &) override {}
};

::testing::AssertionResult precise(const QObject &owner, const char *name)
{
    const auto *timer = owner.findChild<QTimer *>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    if (!timer)
        return ::testing::AssertionFailure() << name << " is not a timer of " << owner.metaObject()->className();
    if (timer->timerType() != Qt::PreciseTimer)
        return ::testing::AssertionFailure() << name << " is of type " << int(timer->timerType());
    return ::testing::AssertionSuccess();
}

} // namespace

// A coarse timer may fire 5 % early; a receiver answering near the end of
// one of these waits would then lose its session.
TEST(ProtocolTimers, EveryWaitTheReceiverCountsOnIsPrecise)
{
    SilentConnect connectDelegate;
    const TLConnectPack handshake(&connectDelegate);
    EXPECT_TRUE(precise(handshake, ProtocolTimer::kNameWait));
    EXPECT_TRUE(precise(handshake, ProtocolTimer::kCodeCheck));
    EXPECT_TRUE(precise(handshake, ProtocolTimer::kHandshakeDeadline));

    MasterTest::MasterRecorder masterDelegate;
    MasterControlServices services;
    services.store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
    const TLMasterControlPack master(&masterDelegate, services);
    // The heartbeat also counts the ticks after which the session reconnects.
    EXPECT_TRUE(precise(master, ProtocolTimer::kHeartbeat));
    EXPECT_TRUE(precise(master, ProtocolTimer::kCastRequest));
    EXPECT_TRUE(precise(master, ProtocolTimer::kDirectCastKeepAlive));

    RTSPClientServices castServices;
    castServices.store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
    castServices.userInfo = std::make_shared<Platform::Fake::FakeUserInfo>();
    const RTSPClient cast(std::make_shared<Device>(), castServices);
    EXPECT_TRUE(precise(cast, ProtocolTimer::kCastKeepAlive));
}
