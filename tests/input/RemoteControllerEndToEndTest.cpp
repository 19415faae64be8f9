// The controller over a real connection to the emulated receiver.

#include <gtest/gtest.h>

#include "FakeInput.h"
#include "FakePlatform.h"
#include "Platform/LinuxInput.h"
#include "PrivateXServer.h"
#include "ReceiverEmulatorThread.h"
#include "RemoteControl/RemoteController.h"
#include "RemoteInputSender.h"
#include "TestSupport.h"
#include "TestXClient.h"
#include "Utils/TavlinGlobal/DynamicPortTable.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

using Platform::MouseButton;
using Platform::Fake::PostedInput;
using Kind = PostedInput::Kind;
using Chunk = RemoteInputSender::Chunk;

namespace {

QByteArray rec(quint32 type, qint32 value)
{
    return RemoteInputSender::record(type, value, 1700000000, 5);
}

class RemoteControllerEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        TavlinGlobal::resetAll();
        receiver = std::make_unique<ReceiverEmulatorThread>(TestSupport::uniqueLoopbackAddress());
        sender = receiver->call([](ReceiverEmulator &e) { return e.addComponent<RemoteInputSender>(quint16(0)); });
        ASSERT_TRUE(receiver->start());
        DynamicPortTable::setDynamicPort_52020(sender->port());
        device->mHostIp = receiver->address().toString();
    }

    void TearDown() override
    {
        controller.reset();
        receiver.reset();
        DynamicPortTable::resetToDefaults();
        TavlinGlobal::resetAll();
    }

    void makeController(std::shared_ptr<Platform::InputInjector> injectorToUse,
                        std::shared_ptr<Platform::KeyboardLayout> layoutToUse)
    {
        RemoteControllerServices services;
        services.injector = std::move(injectorToUse);
        services.keyboardLayout = std::move(layoutToUse);
        services.store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
        services.consent = consent;
        services.timings.connectTimeoutMs = 2000;
        controller = std::make_unique<RemoteController>(device, services);
    }
    void makeController() { makeController(injector, layout); }

    bool waitForPosted(qsizetype count)
    {
        return TestSupport::waitFor([&] { return injector->posted.size() >= count; });
    }

    std::unique_ptr<ReceiverEmulatorThread> receiver;
    RemoteInputSender *sender = nullptr;
    DevicePtr device = std::make_shared<Device>();
    std::shared_ptr<Platform::Fake::FakeInputInjector> injector = std::make_shared<Platform::Fake::FakeInputInjector>();
    std::shared_ptr<Platform::Fake::FakeKeyboardLayout> layout =
        std::make_shared<Platform::Fake::FakeKeyboardLayout>(Platform::Fake::FakeKeyboardLayout::usSubset());
    std::shared_ptr<Platform::Fake::FakeRemoteInputConsent> consent = givenConsent();
    std::unique_ptr<RemoteController> controller;

    static std::shared_ptr<Platform::Fake::FakeRemoteInputConsent> givenConsent()
    {
        auto given = std::make_shared<Platform::Fake::FakeRemoteInputConsent>();
        given->given = true;
        return given;
    }
};

} // namespace

TEST_F(RemoteControllerEndToEnd, ScriptedRecordsArriveAsEvents)
{
    // Records cut across segments, as a receiver's writes may be.
    const QByteArray click = rec(5, 0x0201);
    sender->setScript({
        {rec(8, 5500) + rec(9, 5500) + click.first(10), 0},
        {click.sliced(10) + rec(4, 0x0201), 30},
        {rec(13, 'A') + rec(14, 2), 30},
        {rec(10, 0) + rec(6, 10).first(3), 30},
        {rec(6, 10).sliced(3) + rec(7, -5), 30},
    });
    makeController();
    controller->startController();
    ASSERT_TRUE(waitForPosted(7));
    TestSupport::spin(50); // for input that must not be posted
    const QList<PostedInput> posted = injector->posted;
    ASSERT_EQ(posted.size(), 7);
    EXPECT_EQ(posted[0].kind, Kind::Move);
    EXPECT_EQ(posted[0].point, QPointF(960, 540));
    EXPECT_EQ(posted[1].kind, Kind::Button);
    EXPECT_EQ(posted[1].button, MouseButton::Right);
    EXPECT_TRUE(posted[1].down);
    EXPECT_EQ(posted[1].clickCount, 2);
    EXPECT_FALSE(posted[2].down);
    EXPECT_EQ(posted[3].kind, Kind::Key);
    EXPECT_EQ(posted[3].keyCode, 0);
    EXPECT_EQ(posted[3].modifiers, Platform::KeyModifier::Shift);
    EXPECT_EQ(posted[4].kind, Kind::Key);
    EXPECT_FALSE(posted[4].down);
    EXPECT_EQ(posted[5].kind, Kind::Scroll);
    EXPECT_EQ(posted[5].horizontal, -2);
    EXPECT_EQ(posted[6].kind, Kind::Move);
    EXPECT_EQ(posted[6].point, QPointF(970, 535));
    EXPECT_EQ(sender->bytesReceived(), 0);
}

TEST_F(RemoteControllerEndToEnd, AReceiverThatGoesAwayLeavesNothingPressed)
{
    sender->setScript({{rec(2, 0) + rec(5, 0), 0}});
    sender->setCloseAfterScript(true);
    makeController();
    controller->startController();
    ASSERT_TRUE(waitForPosted(4));
    const QList<PostedInput> posted = injector->posted;
    EXPECT_TRUE(posted[0].down);
    EXPECT_TRUE(posted[1].down);
    EXPECT_EQ(posted[2].kind, Kind::Key);
    EXPECT_FALSE(posted[2].down);
    EXPECT_EQ(posted[3].kind, Kind::Button);
    EXPECT_FALSE(posted[3].down);
}

TEST_F(RemoteControllerEndToEnd, StoppingDisconnectsAndReleases)
{
    sender->setScript({{rec(2, 3), 0}});
    makeController();
    controller->startController();
    ASSERT_TRUE(waitForPosted(1));
    controller->stopController();
    ASSERT_EQ(injector->posted.size(), 2);
    EXPECT_FALSE(injector->posted[1].down);
    EXPECT_TRUE(TestSupport::waitFor([&] { return sender->clientCloseCount() == 1; }));

    // Whatever the receiver still sends is not injected.
    receiver->call([&](ReceiverEmulator &) { sender->sendNow(rec(2, 4)); });
    TestSupport::spin(100); // for input that must not be posted
    EXPECT_EQ(injector->posted.size(), 2);
}

TEST_F(RemoteControllerEndToEnd, AnUnreachableReceiverIsIgnored)
{
    receiver->call([&](ReceiverEmulator &) { sender->stop(); });
    makeController();
    controller->startController();
    EXPECT_TRUE(TestSupport::waitFor([&] { return controller->remoteSocket()->isDisconnected(); }));
    TestSupport::spin(50); // for input that must not be posted
    EXPECT_TRUE(injector->posted.isEmpty());

    // A port no TCP connection can have is never tried.
    DynamicPortTable::setDynamicPort_52020(70000);
    controller->startController();
    EXPECT_TRUE(controller->remoteSocket()->isDisconnected());
    controller->stopController();
}

// An open display takes any client's input: only the user's consent lets the
// receiver's records reach it.
TEST_F(RemoteControllerEndToEnd, PointerAndClickReachAnXServerOnceTheUserConsents)
{
    if (!TestSupport::requireFacility("Xvfb", PrivateXServer::available()))
        return;
    PrivateXServer server;
    ASSERT_TRUE(server.start(QSize(1600, 900)));
    TestXClient client(server.displayName());
    ASSERT_TRUE(client.ok());
    Platform::Linux::InputBackendOptions options;
    options.displayName = server.displayName();
    const Platform::Linux::InputBackend backend = Platform::Linux::makeInputBackend(options);
    const QPoint start = client.pointer();

    // A move and a click, then a key, while the user has not said yes.
    consent->given = false;
    const QByteArray moveAndClick = rec(8, 2750) + rec(9, 8250) + rec(5, 0x100) + rec(4, 0x100);
    sender->setScript({{moveAndClick + rec(13, 'a'), 0}});
    makeController(backend.injector, backend.keyboardLayout);
    controller->startController();
    ASSERT_TRUE(TestSupport::waitFor([&] { return sender->scriptDone(); }));
    EXPECT_TRUE(client.waitForEvents(1, 300).isEmpty());
    EXPECT_EQ(client.pointer(), start);
    // The cast itself goes on: the connection stays up.
    EXPECT_FALSE(controller->remoteSocket()->isDisconnected());

    // Once given, the same receiver's next records reach the display.
    consent->setGiven(true);
    receiver->call([&](ReceiverEmulator &) { sender->sendNow(moveAndClick); });
    const QList<TestXClient::Event> events = client.waitForEvents(2);
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0].type, XCB_BUTTON_PRESS);
    EXPECT_EQ(events[0].detail, 1);
    EXPECT_EQ(events[0].at, QPoint(400, 675));
    EXPECT_EQ(events[1].type, XCB_BUTTON_RELEASE);
    EXPECT_EQ(client.pointer(), QPoint(400, 675));
}
