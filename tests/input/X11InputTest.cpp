// The X11 backend against a real X server (an Xvfb of the test's own).

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <limits>

#include "FakePlatform.h"
#include "Platform/LinuxInput.h"
#include "PrivateXServer.h"
#include "RecordBytes.h"
#include "RemoteControl/RemoteController.h"
#include "TestSupport.h"
#include "TestXClient.h"

namespace {

constexpr uint32_t kKeysymA = 0x61;
constexpr uint32_t kKeysymShiftL = 0xffe1;
constexpr uint32_t kKeysymQ = 0x71;
constexpr uint32_t kKeysymY = 0x79;
constexpr uint32_t kKeysymZ = 0x7a;
constexpr uint32_t kKeysymAdiaeresis = 0xe4;

class X11InputTest : public ::testing::Test {
protected:
    bool startServer(QSize size = QSize(1920, 1080))
    {
        if (!TestSupport::requireFacility("Xvfb", PrivateXServer::available()))
            return false;
        if (!server.start(size)) {
            ADD_FAILURE() << "Xvfb did not start";
            return false;
        }
        return true;
    }

    Platform::Linux::InputBackend openBackend(int scrollPixelsPerClick = 10)
    {
        Platform::Linux::InputBackendOptions options;
        options.displayName = server.displayName();
        options.scrollPixelsPerClick = scrollPixelsPerClick;
        return Platform::Linux::makeInputBackend(options);
    }

    std::unique_ptr<RemoteController> controllerOn(const Platform::Linux::InputBackend &backend)
    {
        RemoteControllerServices services;
        services.injector = backend.injector;
        services.keyboardLayout = backend.keyboardLayout;
        services.store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
        services.consent = std::make_shared<Platform::Fake::FakeRemoteInputConsent>();
        services.consent->setGiven(true);
        return std::make_unique<RemoteController>(std::make_shared<Device>(), services);
    }

    bool setLayout(const QString &layout)
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("setxkbmap"));
        if (!TestSupport::requireFacility("setxkbmap", !program.isEmpty()))
            return false;
        QProcess process;
        process.start(program, {QStringLiteral("-display"), QString::fromLatin1(server.displayName()), layout});
        return process.waitForFinished(10000) && process.exitCode() == 0;
    }

    PrivateXServer server;
};

} // namespace

TEST_F(X11InputTest, AbsoluteAndRelativeMovesPlaceThePointer)
{
    for (const QSize size : {QSize(1920, 1080), QSize(1280, 1024)}) {
        server.stop();
        if (!startServer(size))
            return;
        const auto backend = openBackend();
        EXPECT_TRUE(backend.injector->isTrusted());
        EXPECT_EQ(backend.injector->mainDisplayBounds(), QRectF(QPointF(0, 0), size));
        TestXClient client(server.displayName());
        ASSERT_TRUE(client.ok());

        auto controller = controllerOn(backend);
        controller->onSocketDidReadData(nullptr, recordStream({{8, 5500}, {9, 5500}}), 0);
        const QPoint centre(size.width() / 2, size.height() / 2);
        EXPECT_EQ(client.pointerWhenAt(centre), centre) << size.width();
        EXPECT_EQ(backend.injector->pointerLocation(), QPointF(size.width() / 2, size.height() / 2));

        controller->onSocketDidReadData(nullptr, recordStream({{6, 10}, {7, -5}}), 0);
        EXPECT_EQ(client.pointerWhenAt(centre + QPoint(10, -5)), centre + QPoint(10, -5));

        // Far off the screen: held on its last pixel.
        controller->onSocketDidReadData(nullptr, recordStream({{6, 100000}, {7, 100000}}), 0);
        const QPoint corner(size.width() - 1, size.height() - 1);
        EXPECT_EQ(client.pointerWhenAt(corner), corner);
    }
}

TEST_F(X11InputTest, AbsoluteMovesFollowThePrimaryMonitor)
{
    if (!startServer(QSize(1920, 1080)))
        return;
    TestXClient client(server.displayName());
    ASSERT_TRUE(client.ok());
    // Two monitors side by side; the right one is primary.
    ASSERT_TRUE(client.addMonitor("TEST-LEFT", QRect(0, 0, 960, 1080), false));
    ASSERT_TRUE(client.addMonitor("TEST-RIGHT", QRect(960, 0, 960, 1080), true));

    const auto backend = openBackend();
    EXPECT_EQ(backend.injector->mainDisplayBounds(), QRectF(960, 0, 960, 1080));
    auto controller = controllerOn(backend);
    controller->onSocketDidReadData(nullptr, recordStream({{8, 5500}, {9, 5500}}), 0);
    EXPECT_EQ(client.pointerWhenAt(QPoint(1440, 540)), QPoint(1440, 540));
}

TEST_F(X11InputTest, ClicksAndWheelReachAWindow)
{
    if (!startServer())
        return;
    TestXClient client(server.displayName());
    ASSERT_TRUE(client.ok());
    const auto backend = openBackend(10);
    auto controller = controllerOn(backend);

    controller->onSocketDidReadData(nullptr, recordStream({{8, 5500}, {9, 5500}, {5, 0x0100}, {4, 0x0100}, {5, 1}, {4, 1}}), 0);
    QList<TestXClient::Event> events = client.waitForEvents(4);
    ASSERT_EQ(events.size(), 4);
    EXPECT_EQ(events[0].type, XCB_BUTTON_PRESS);
    EXPECT_EQ(events[0].detail, 1);
    EXPECT_EQ(events[0].at, QPoint(960, 540));
    EXPECT_EQ(events[1].type, XCB_BUTTON_RELEASE);
    EXPECT_EQ(events[1].detail, 1);
    EXPECT_EQ(events[2].detail, 3);
    EXPECT_EQ(events[3].type, XCB_BUTTON_RELEASE);

    // Wheel pixels become clicks, ten pixels each here; the rest carries over.
    controller->onSocketDidReadData(nullptr, recordStream({{10, -25}}), 0); // up 25 pixels
    events = client.waitForEvents(4);
    ASSERT_EQ(events.size(), 4);
    EXPECT_EQ(events[0].detail, 4);
    EXPECT_EQ(events[2].detail, 4);
    controller->onSocketDidReadData(nullptr, recordStream({{10, -5}, {14, -10}, {10, 0}}), 0);
    events = client.waitForEvents(4);
    ASSERT_EQ(events.size(), 4);
    EXPECT_EQ(events[0].detail, 4);
    EXPECT_EQ(events[2].detail, 6);
    controller->onSocketDidReadData(nullptr, recordStream({{10, 10}, {14, 10}, {10, 0}}), 0);
    events = client.waitForEvents(4);
    ASSERT_EQ(events.size(), 4);
    EXPECT_EQ(events[0].detail, 5);
    EXPECT_EQ(events[2].detail, 7);

    // A hostile amount is bounded.
    controller->onSocketDidReadData(nullptr, recordStream({{10, std::numeric_limits<qint32>::min()}}), 0);
    events = client.collectFor(500);
    EXPECT_EQ(events.size(), 200);
}

TEST_F(X11InputTest, KeyPressesReachTheFocusedWindow)
{
    if (!startServer())
        return;
    TestXClient client(server.displayName());
    ASSERT_TRUE(client.ok());
    const uint8_t keyA = client.keycodeFor(kKeysymA);
    ASSERT_NE(keyA, 0);
    const auto backend = openBackend();
    auto controller = controllerOn(backend);

    controller->onSocketDidReadData(nullptr, recordStream({{2, 0}, {1, 0}}), 0);
    QList<TestXClient::Event> events = client.waitForEvents(2);
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0].type, XCB_KEY_PRESS);
    EXPECT_EQ(events[0].detail, keyA);
    EXPECT_EQ(events[1].type, XCB_KEY_RELEASE);
    EXPECT_EQ(events[1].detail, keyA);

    // Codes without a key post nothing, and later keys still work.
    EXPECT_FALSE(backend.injector->postKey(63, true, 0));
    EXPECT_FALSE(backend.injector->postKey(127, true, 0));
    EXPECT_FALSE(backend.injector->postKey(0xFFFF, true, 0));
    controller->onSocketDidReadData(nullptr, recordStream({{2, 63}, {2, 200}, {2, 0xFFFF}, {2, 0}, {1, 0}}), 0);
    events = client.waitForEvents(2);
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0].detail, keyA);

    // A key still down when the controller stops is let go.
    controller->onSocketDidReadData(nullptr, recordStream({{2, 0}}), 0);
    controller->stopController();
    events = client.waitForEvents(2);
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[1].type, XCB_KEY_RELEASE);
    EXPECT_EQ(events[1].detail, keyA);
}

TEST_F(X11InputTest, CharactersAreTypedWithTheCurrentLayout)
{
    if (!startServer())
        return;
    TestXClient client(server.displayName());
    ASSERT_TRUE(client.ok());
    if (!setLayout(QStringLiteral("us")))
        return;
    const auto backend = openBackend();
    auto controller = controllerOn(backend);

    const uint8_t keyA = client.keycodeFor(kKeysymA);
    const uint8_t shift = client.keycodeFor(kKeysymShiftL);
    controller->onSocketDidReadData(nullptr, recordStream({{13, 'A'}}), 0);
    QList<TestXClient::Event> events = client.waitForEvents(4);
    ASSERT_EQ(events.size(), 4);
    EXPECT_EQ(events[0].detail, shift);
    EXPECT_EQ(events[1].type, XCB_KEY_PRESS);
    EXPECT_EQ(events[1].detail, keyA);
    EXPECT_TRUE(events[1].state & XCB_MOD_MASK_SHIFT);
    EXPECT_EQ(events[2].type, XCB_KEY_RELEASE);
    EXPECT_EQ(events[3].detail, shift);
    EXPECT_EQ(backend.keyboardLayout->translateKey(16, 0), QStringLiteral("y"));

    // A German layout swaps Y and Z and has umlauts and AltGr characters.
    const quint64 usLayout = backend.keyboardLayout->currentLayout();
    ASSERT_TRUE(setLayout(QStringLiteral("de")));
    EXPECT_NE(backend.keyboardLayout->currentLayout(), usLayout);
    EXPECT_EQ(backend.keyboardLayout->translateKey(16, 0), QStringLiteral("z"));
    EXPECT_EQ(backend.keyboardLayout->translateKey(12, Platform::KeyModifier::Option), QStringLiteral("@"));

    const uint8_t keyZ = client.keycodeFor(kKeysymZ);
    ASSERT_NE(keyZ, 0);
    EXPECT_NE(keyZ, client.keycodeFor(kKeysymY));
    controller->onSocketDidReadData(nullptr, recordStream({{13, 'z'}}), 0);
    events = client.waitForEvents(2);
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0].detail, keyZ);
    EXPECT_FALSE(events[0].state & XCB_MOD_MASK_SHIFT);

    controller->onSocketDidReadData(nullptr, recordStream({{13, 0xE4}}), 0);
    events = client.waitForEvents(2);
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0].detail, client.keycodeFor(kKeysymAdiaeresis));

    // '@' is AltGr+Q: the third level's key goes down first.
    controller->onSocketDidReadData(nullptr, recordStream({{13, '@'}}), 0);
    events = client.waitForEvents(4);
    ASSERT_EQ(events.size(), 4);
    EXPECT_EQ(events[1].type, XCB_KEY_PRESS);
    EXPECT_EQ(events[1].detail, client.keycodeFor(kKeysymQ));
    EXPECT_TRUE(events[1].state & XCB_MOD_MASK_5);
    EXPECT_EQ(events[3].type, XCB_KEY_RELEASE);
    EXPECT_EQ(events[3].detail, events[0].detail);
}

TEST_F(X11InputTest, ALostServerNeverEndsTheProcess)
{
    if (!startServer())
        return;
    const auto backend = openBackend();
    ASSERT_TRUE(backend.injector->isTrusted());
    server.stop();

    backend.injector->movePointer(QPointF(10, 10), Platform::PointerMotion::Moved);
    backend.injector->postButton(Platform::MouseButton::Left, true, QPointF(), 1);
    backend.injector->postScroll(100, 100);
    backend.injector->postKey(0, true, 0);
    backend.injector->beep();
    EXPECT_FALSE(backend.injector->isTrusted());
    EXPECT_EQ(backend.injector->pointerLocation(), QPointF());
    EXPECT_EQ(backend.keyboardLayout->currentLayout(), 0u);
}

TEST_F(X11InputTest, WithoutADisplayNothingIsPostedAndTheAskFlagsMove)
{
    Platform::Linux::InputBackendOptions options;
    options.displayName = ":65001";
    const auto backend = Platform::Linux::makeInputBackend(options);
    EXPECT_FALSE(backend.injector->isTrusted());
    EXPECT_TRUE(backend.injector->displayBounds().isEmpty());
    EXPECT_FALSE(backend.injector->postKey(0, true, 0));
    EXPECT_EQ(backend.keyboardLayout->currentLayout(), 0u);

    auto store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
    store->values.insert(QStringLiteral("axAskFirstTime"), 1);
    RemoteControllerServices services;
    services.injector = backend.injector;
    services.keyboardLayout = backend.keyboardLayout;
    services.store = store;
    RemoteController controller(std::make_shared<Device>(), services);
    controller.onSocketDidReadData(nullptr, recordStream({{8, 5500}, {9, 5500}, {13, 'a'}}), 0);
    EXPECT_EQ(store->values.value(QStringLiteral("axAskFirstTime")).toInt(), 0);
}
