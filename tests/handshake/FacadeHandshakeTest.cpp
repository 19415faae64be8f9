#include <cerrno>
#include <gtest/gtest.h>

#include "Platform/LinuxServices.h"
#include "HandshakeTestSupport.h"
#include "QuietSearch.h"
#include "Socket/SocketErrors.h"
#include "TavlinSDK.h"

using namespace HandshakeTest;
using TestSupport::spin;
using TestSupport::waitFor;

namespace {

struct AppRecorder : TavlinDelegate {
    QStringList events;
    QList<TavlinError> errors;
    QList<ServerInfo> infos;
    QString broadcastAtSuccess = QStringLiteral("unset");
    TavlinSDK *facade = nullptr;

    void connectDeviceByIpNeedPwd() override { events << QStringLiteral("needPwd"); }
    void connectDeviceSuccess(ServerInfo serverInfo) override
    {
        events << QStringLiteral("success");
        infos << serverInfo;
        if (facade)
            broadcastAtSuccess = facade->getCustomBroadcastString();
    }
    void connectDeviceWithError(const TavlinError &error) override
    {
        events << QStringLiteral("error");
        errors << error;
    }
    int count(const QString &event) const { return static_cast<int>(events.count(event)); }
};

} // namespace

// The facade with the real handshake against the emulated receiver, and
// fakes for everything else.
class FacadeHandshakeTest : public HandshakeFixture {
protected:
    std::unique_ptr<TavlinSDK> makeFacade(quint16 port)
    {
        TavlinServices services;
        services.store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
        services.userInfo = std::make_shared<Platform::Fake::FakeUserInfo>();
        services.machineInfo = std::make_shared<Platform::Fake::FakeMachineInfo>();
        services.activityInhibitor = std::make_shared<Platform::Fake::FakeActivityInhibitor>();
        services.screenLockMonitor = std::make_shared<Platform::Fake::FakeScreenLockMonitor>();
        services.ipv4Monitor = std::make_shared<Platform::Fake::FakePrimaryIPv4Monitor>();
        services.interfaceAddresses = addresses;
        services.screenCaptureAccess = std::make_shared<Platform::Fake::FakeScreenCaptureAccess>();
        const ConnectPackTimings timings = shortTimings(port);
        services.connectSessionFactory = [timings](ConnectPackDelegate *delegate) -> std::unique_ptr<ConnectSession> {
            return std::make_unique<TLConnectPack>(delegate, timings);
        };
        TestSupport::quietSearch(services);
        auto facade = std::make_unique<TavlinSDK>(&app, services);
        app.facade = facade.get();
        return facade;
    }
    void TearDown() override
    {
        app.facade = nullptr;
        HandshakeFixture::TearDown();
    }

    AppRecorder app;
};

TEST_F(FacadeHandshakeTest, ConnectByIpReachesTheApplicationWithTheReceiversName)
{
    setBehaviour([](HandshakeBehaviour &b) { b.extraInfo = QStringLiteral("meeting until 5"); });
    auto facade = makeFacade(server->port());
    ASSERT_TRUE(facade->connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitFor([&] { return app.count("success") == 1; }));
    EXPECT_EQ(app.infos[0].deviceName, QStringLiteral("Room A"));
    EXPECT_EQ(app.infos[0].deviceIP, address.toString());
    // Not yet connected inside the callback, so no text there; after it, yes.
    EXPECT_EQ(app.broadcastAtSuccess, QString());
    EXPECT_TRUE(facade->isConnected());
    EXPECT_EQ(facade->getCustomBroadcastString(), QStringLiteral("meeting until 5"));
    spin(300); // for a second report that must not come
    EXPECT_EQ(app.events, QStringList{"success"});
}

TEST_F(FacadeHandshakeTest, CastingCodeRoadAsksRefusesAndAccepts)
{
    setBehaviour([](HandshakeBehaviour &b) { b.castingCode = QStringLiteral("ABCDEFGH"); });
    auto facade = makeFacade(server->port());
    ASSERT_TRUE(facade->connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitFor([&] { return app.count("needPwd") == 1; }));

    EXPECT_FALSE(facade->connectDeviceByIpCheckPwd(QStringLiteral("12\r\n34")));
    EXPECT_TRUE(facade->connectDeviceByIpCheckPwd(QStringLiteral("ABCDEFGZ")));
    ASSERT_TRUE(waitFor([&] { return app.count("error") == 1; }));
    EXPECT_EQ(app.errors[0].domain, QStringLiteral("com.TavlinError.Domain"));
    EXPECT_EQ(app.errors[0].code, 1);
    EXPECT_FALSE(facade->isConnected());

    EXPECT_TRUE(facade->connectDeviceByIpCheckPwd(QStringLiteral("ABCDEFGH")));
    ASSERT_TRUE(waitFor([&] { return app.count("success") == 1; }));
    EXPECT_EQ(app.events, (QStringList{"needPwd", "error", "success"}));
    EXPECT_FALSE(server->received(0).contains("12\r\n34"));
    EXPECT_TRUE(facade->isConnected());
}

TEST_F(FacadeHandshakeTest, SixDigitAndEightLetterCodesFindTheReceiver)
{
    setFeatures(FeatureBits::kMasterControl | FeatureBits::kCastingCodeConfigured);
    const QString letters = HandshakeCodes::eightLetterCodeFor(address);
    setBehaviour([&](HandshakeBehaviour &b) { b.castingCode = letters; });
    auto facade = makeFacade(server->port());
    ASSERT_TRUE(facade->connectDeviceBy8Char(letters));
    ASSERT_TRUE(waitFor([&] { return app.count("success") == 1; }));
    EXPECT_EQ(app.infos[0].deviceIP, address.toString());

    const QString digits = HandshakeCodes::sixDigitCodeFor(address);
    setBehaviour([&](HandshakeBehaviour &b) { b.castingCode = digits; });
    addresses->ipv4 = QHostAddress((address.toIPv4Address() & 0xFFFF0000u) | 0x0203u).toString();
    ASSERT_TRUE(facade->connectDeviceBy6Digits(digits));
    ASSERT_TRUE(waitFor([&] { return app.count("success") == 2; }));
    EXPECT_EQ(app.infos[1].deviceIP, address.toString());
    EXPECT_TRUE(server->allRequests().contains(QStringLiteral("CHECKPASSWORD\r\n") + digits));

    // Seven letters pass no road; this host's own loop-back address is no network.
    EXPECT_FALSE(facade->connectDeviceBy8Char(QStringLiteral("ABCDEFG")));
    addresses->ipv4 = QStringLiteral("127.0.0.1");
    EXPECT_FALSE(facade->connectDeviceBy6Digits(digits));
}

TEST_F(FacadeHandshakeTest, SocketFailuresReachTheApplicationWithTheirDomainAndCode)
{
    TestSupport::HangingListener hanging(address);
    hanging.fill();
    auto facade = makeFacade(hanging.port());
    ASSERT_TRUE(facade->connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitFor([&] { return app.count("error") == 1; }));
    EXPECT_EQ(app.errors[0].domain, SocketErrors::kAsyncSocketErrorDomain);
    EXPECT_EQ(app.errors[0].code, 2);

    const quint16 port = server->port();
    emulator->stop();
    auto refused = makeFacade(port);
    ASSERT_TRUE(refused->connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitFor([&] { return app.count("error") == 2; }));
    EXPECT_EQ(app.errors[1].domain, SocketErrors::kPosixErrorDomain);
    EXPECT_EQ(app.errors[1].code, ECONNREFUSED);
    spin(300); // for a third report that must not come
    EXPECT_EQ(app.events, (QStringList{"error", "error"}));
}

TEST_F(FacadeHandshakeTest, ANewConnectEndsTheOldHandshakeQuietly)
{
    setBehaviour([](HandshakeBehaviour &b) { b.castingCode = QStringLiteral("ABCDEFGH"); });
    auto facade = makeFacade(server->port());
    ASSERT_TRUE(facade->connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitFor([&] { return app.count("needPwd") == 1; }));
    setBehaviour([](HandshakeBehaviour &b) { b.castingCode.clear(); });
    ASSERT_TRUE(facade->connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitFor([&] { return app.count("success") == 1; }));
    ASSERT_TRUE(waitFor([&] { return !server->connectionOpen(0); }));
    spin(200); // for a report of the old handshake that must not come
    EXPECT_EQ(app.events, (QStringList{"needPwd", "success"}));
}

TEST(FacadeDefaults, TheRealHandshakeIsTheDefaultConnectSession)
{
    const TavlinServices services = TavlinServices::fromPlatform(Platform::Linux::makePlatformServices());
    ASSERT_TRUE(services.connectSessionFactory);
    struct Silent : ConnectPackDelegate {
        void connectPack_needEnterPwd() override {}
        void connectPack_pwdIncorrect(const TavlinError &) override {}
        void connectPack_connectDeviceCheckSuccess() override {}
        void connectPack_connectDeviceCheckWithError(const TavlinError &) override {}
    } delegate;
    const std::unique_ptr<ConnectSession> session = services.connectSessionFactory(&delegate);
    EXPECT_NE(dynamic_cast<TLConnectPack *>(session.get()), nullptr);
    EXPECT_EQ(ConnectPackTimings{}.handshakePort, 8121);
    EXPECT_EQ(ConnectPackTimings{}.nameWaitMs, 1200);
    EXPECT_EQ(ConnectPackTimings{}.connectTimeoutMs, 3000);
    EXPECT_EQ(ConnectPackTimings{}.checkPasswordTimeoutMs, 6000);
}
