#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QThread>
#include <limits>

#include "FakeInput.h"
#include "FakePlatform.h"
#include "LogCapture.h"
#include "RecordBytes.h"
#include "RemoteControl/RemoteController.h"
#include "TestSupport.h"
#include "Utils/TavlinGlobal/DynamicPortTable.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

using Platform::MouseButton;
using Platform::PointerMotion;
using Platform::Fake::PostedInput;
using Kind = PostedInput::Kind;
namespace Mod = Platform::KeyModifier;

namespace {

class RemoteControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TavlinGlobal::resetAll();
        makeController();
    }
    void TearDown() override { TavlinGlobal::resetAll(); }

    void makeController(int keyboardViewerIntervalMs = 60)
    {
        controller.reset();
        RemoteControllerServices services;
        services.injector = injector;
        services.keyboardLayout = layout;
        services.store = store;
        services.consent = consent;
        services.timings.keyboardViewerIntervalMs = keyboardViewerIntervalMs;
        auto device = std::make_shared<Device>();
        device->mHostIp = QStringLiteral("127.0.0.1");
        controller = std::make_unique<RemoteController>(device, services);
    }

    void feed(const RecordList &records)
    {
        controller->onSocketDidReadData(nullptr, recordStream(records), 0);
    }

    QList<PostedInput> posted() const { return injector->posted; }

    std::shared_ptr<Platform::Fake::FakeInputInjector> injector =
        std::make_shared<Platform::Fake::FakeInputInjector>();
    std::shared_ptr<Platform::Fake::FakeKeyboardLayout> layout =
        std::make_shared<Platform::Fake::FakeKeyboardLayout>(Platform::Fake::FakeKeyboardLayout::usSubset());
    std::shared_ptr<Platform::Fake::FakeKeyValueStore> store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
    std::shared_ptr<Platform::Fake::FakeRemoteInputConsent> consent = givenConsent();
    std::unique_ptr<RemoteController> controller;

    static std::shared_ptr<Platform::Fake::FakeRemoteInputConsent> givenConsent()
    {
        auto given = std::make_shared<Platform::Fake::FakeRemoteInputConsent>();
        given->given = true;
        return given;
    }
};

void expectMove(const PostedInput &e, QPointF to, PointerMotion motion = PointerMotion::Moved)
{
    EXPECT_EQ(e.kind, Kind::Move);
    EXPECT_EQ(e.point, to);
    EXPECT_EQ(e.motion, motion);
}

void expectKey(const PostedInput &e, quint16 key, bool down, quint32 modifiers = 0)
{
    EXPECT_EQ(e.kind, Kind::Key);
    EXPECT_EQ(e.keyCode, key);
    EXPECT_EQ(e.down, down);
    EXPECT_EQ(e.modifiers, modifiers);
}

} // namespace

TEST_F(RemoteControllerTest, RelativeMovesPairRecordsAndStayOnADisplay)
{
    injector->pointer = QPointF(100, 100);
    feed({{6, 10}, {7, -5}});
    ASSERT_EQ(posted().size(), 1);
    expectMove(posted()[0], QPointF(110, 95));

    // A lone second half does nothing.
    injector->posted.clear();
    feed({{5, 0}, {4, 0}, {7, -5}});
    EXPECT_EQ(posted().size(), 2);

    // Off every display: held inside the display of the pointer.
    injector->posted.clear();
    injector->pointer = QPointF(100, 100);
    feed({{6, std::numeric_limits<qint32>::max()}, {7, std::numeric_limits<qint32>::min()}});
    expectMove(posted().last(), QPointF(1919, 0));

    // Onto another display: allowed as it is.
    injector->displays = {QRectF(0, 0, 1920, 1080), QRectF(1920, 0, 1280, 1024)};
    injector->pointer = QPointF(1900, 500);
    feed({{6, 100}, {7, 0}});
    expectMove(posted().last(), QPointF(2000, 500));
    // Off the second display: held inside it, not inside the main one.
    feed({{6, 5000}, {7, 5000}});
    expectMove(posted().last(), QPointF(3199, 1023));

    // A pointer on no display is brought onto the main one.
    injector->pointer = QPointF(-50, -50);
    feed({{6, -1}, {7, -1}});
    expectMove(posted().last(), QPointF(0, 0));
}

TEST_F(RemoteControllerTest, AbsoluteMovesMapOntoTheMainDisplay)
{
    struct Case {
        QRectF main;
        qint32 x, y;
        QPointF expected;
    };
    const QList<Case> cases = {
        {QRectF(0, 0, 1920, 1080), 5500, 5500, QPointF(960, 540)},
        {QRectF(0, 0, 1280, 720), 5500, 5500, QPointF(640, 360)},
        {QRectF(0, 0, 3840, 2160), 2750, 8250, QPointF(960, 1620)},
        {QRectF(0, 0, 1440, 900), 11000, 11000, QPointF(1440, 900)},
        // The main display need not start at the origin of the screen space.
        {QRectF(1920, 0, 1280, 1024), 5500, 0, QPointF(2560, 0)},
        // Not clamped: the value says where.
        {QRectF(0, 0, 1920, 1080), 22000, -11000, QPointF(3840, -1080)},
    };
    for (const Case &c : cases) {
        injector->displays = {c.main};
        injector->posted.clear();
        feed({{8, c.x}, {9, c.y}});
        ASSERT_EQ(posted().size(), 1);
        expectMove(posted()[0], c.expected);
    }

    // The ratio is taken in single precision.
    injector->displays = {QRectF(0, 0, 1920, 1080)};
    feed({{8, 1}, {9, 3}});
    const float x = 1.0f / 11000, y = 3.0f / 11000;
    expectMove(posted().last(), QPointF(1920.0 * x, 1080.0 * y));

    // Both zero: where the pointer is.
    injector->pointer = QPointF(12, 34);
    feed({{8, 0}, {9, 0}});
    expectMove(posted().last(), QPointF(12, 34));
    // Extreme values stay finite.
    feed({{8, std::numeric_limits<qint32>::min()}, {9, std::numeric_limits<qint32>::max()}});
    EXPECT_TRUE(qIsFinite(posted().last().point.x()));
}

TEST_F(RemoteControllerTest, ButtonsCarryTheirClickCountAndTurnMovesIntoDrags)
{
    injector->pointer = QPointF(300, 200);
    feed({{5, 0x0201}});
    ASSERT_EQ(posted().size(), 1);
    EXPECT_EQ(posted()[0].kind, Kind::Button);
    EXPECT_EQ(posted()[0].button, MouseButton::Right);
    EXPECT_TRUE(posted()[0].down);
    EXPECT_EQ(posted()[0].clickCount, 2);
    EXPECT_EQ(posted()[0].point, QPointF(300, 200));
    EXPECT_TRUE(controller->mouse2Clicked());

    // Right is held: left held as well wins, then other after both are up.
    feed({{6, 1}, {7, 0}});
    EXPECT_EQ(posted().last().motion, PointerMotion::RightDragged);
    feed({{5, 0x0100}, {6, 1}, {7, 0}});
    EXPECT_EQ(posted().last().motion, PointerMotion::LeftDragged);
    feed({{4, 0x0100}, {4, 0x0101}, {5, 0x0107}, {6, 1}, {7, 0}});
    EXPECT_EQ(posted().last().motion, PointerMotion::OtherDragged);
    EXPECT_TRUE(controller->mouse3Clicked());
    feed({{4, 0x0102}, {8, 100}, {9, 100}});
    EXPECT_EQ(posted().last().motion, PointerMotion::Moved);
    EXPECT_FALSE(controller->mouse1Clicked() || controller->mouse2Clicked() || controller->mouse3Clicked());

    // Every button byte beyond 1 is the other button.
    const PostedInput otherDown = posted()[posted().size() - 4];
    EXPECT_EQ(otherDown.button, MouseButton::Other);
    EXPECT_EQ(otherDown.clickCount, 1);
}

TEST_F(RemoteControllerTest, ScrollAmountsAreNegatedAndPaired)
{
    feed({{10, 3}});
    ASSERT_EQ(posted().size(), 1);
    EXPECT_EQ(posted()[0].kind, Kind::Scroll);
    EXPECT_EQ(posted()[0].vertical, -3);
    EXPECT_EQ(posted()[0].horizontal, 0);

    feed({{14, 2}, {10, 0}});
    EXPECT_EQ(posted().last().vertical, 0);
    EXPECT_EQ(posted().last().horizontal, -2);

    // Nothing to scroll.
    const qsizetype before = posted().size();
    feed({{10, 0}, {14, 0}, {10, 0}});
    EXPECT_EQ(posted().size(), before);

    feed({{14, std::numeric_limits<qint32>::min()}, {10, std::numeric_limits<qint32>::min()}});
    EXPECT_EQ(posted().last().vertical, std::numeric_limits<qint32>::max());
    EXPECT_EQ(posted().last().horizontal, std::numeric_limits<qint32>::max());
}

TEST_F(RemoteControllerTest, KeysPassTheirCodesAndUnknownCodesAreIgnored)
{
    feed({{2, 0}, {1, 0}});
    ASSERT_EQ(posted().size(), 2);
    expectKey(posted()[0], 0, true);
    expectKey(posted()[1], 0, false);

    // The receiver's release that follows a press as record 8.
    injector->posted.clear();
    feed({{2, 12}, {8, 12}});
    ASSERT_EQ(posted().size(), 2);
    expectKey(posted()[1], 12, false);

    // Codes without a key, or wider than 16 bits, post nothing.
    injector->posted.clear();
    feed({{2, 200}, {2, 0x10000}, {2, -1}, {1, -1}, {1, 0x7FFFFFFF}, {2, 0xFFC4}});
    EXPECT_TRUE(posted().isEmpty());
}

TEST_F(RemoteControllerTest, KeyboardViewerToggleIsDebounced)
{
    // An interval no slow machine spends between two records of one read.
    makeController(500);
    QSignalSpy toggles(controller.get(), &RemoteController::toggleKeyboardViewer);
    feed({{1, 0xFFC4}, {1, 0xFFC4}});
    EXPECT_EQ(toggles.size(), 1);
    EXPECT_TRUE(posted().isEmpty());

    // Time surely past the interval, however fast the machine: another toggle.
    QThread::msleep(600);
    feed({{1, 0xFFC4}});
    EXPECT_EQ(toggles.size(), 2);
    EXPECT_TRUE(posted().isEmpty());
}

TEST_F(RemoteControllerTest, CharactersTypeThroughTheCurrentLayout)
{
    feed({{13, 0x41}});
    ASSERT_EQ(posted().size(), 2);
    expectKey(posted()[0], 0, true, Mod::Shift);
    expectKey(posted()[1], 0, false, Mod::Shift);

    struct Case {
        qint32 unit;
        quint16 key;
        quint32 modifiers;
    };
    const QList<Case> cases = {
        {'a', 0, 0},
        {0xE5, 0, Mod::Option},
        {0xC5, 0, Mod::Shift | Mod::Option},
        {'!', 18, Mod::Shift},
        {' ', 49, 0},     // plain beats shifted
        {'\r', 36, 0},
        {'\n', 52, 0},    // no key of its own
    };
    for (const Case &c : cases) {
        injector->posted.clear();
        feed({{13, c.unit}});
        ASSERT_EQ(posted().size(), 2) << c.unit;
        expectKey(posted()[0], c.key, true, c.modifiers);
        expectKey(posted()[1], c.key, false, c.modifiers);
    }

    // Beyond 16 bits only beeps; a unit with no key does nothing.
    injector->posted.clear();
    feed({{13, 0x1F600}, {13, -1}, {13, 0x4E2D}});
    ASSERT_EQ(posted().size(), 2);
    EXPECT_EQ(posted()[0].kind, Kind::Beep);
    EXPECT_EQ(posted()[1].kind, Kind::Beep);
}

TEST_F(RemoteControllerTest, LayoutTablesAreBuiltOncePerLayout)
{
    Platform::Fake::FakeKeyboardLayout &fake = *layout;
    // 'x' is reachable plainly on key 7 and shifted on key 5; key 9 gives it too.
    fake.set(5, Mod::Shift, QStringLiteral("x"));
    fake.set(7, Mod::None, QStringLiteral("x"));
    fake.set(9, Mod::None, QStringLiteral("x"));
    fake.set(11, Mod::None, QStringLiteral("ab"));  // more than one unit: not a table entry
    fake.set(12, Mod::None, QString::fromUcs4(U"\U0001F600", 1));

    feed({{13, 'x'}});
    EXPECT_EQ(fake.translations, 4 * 128);
    expectKey(posted()[0], 7, true, 0);
    EXPECT_EQ(controller->charToKey(u'a'), 0);
    EXPECT_EQ(controller->charToKey(u'b'), RemoteController::kNoKey);

    feed({{13, 'a'}, {13, 'x'}});
    EXPECT_EQ(fake.translations, 4 * 128);

    // A new layout: rebuilt, with the new keys.
    fake.layoutId = 2;
    fake.set(7, Mod::None, QStringLiteral("y"));
    injector->posted.clear();
    feed({{13, 'x'}});
    EXPECT_EQ(fake.translations, 2 * 4 * 128);
    expectKey(posted()[0], 9, true, 0);

    // No layout: nothing is typed and the tables are forgotten.
    fake.layoutId = 0;
    injector->posted.clear();
    feed({{13, 'x'}});
    EXPECT_TRUE(posted().isEmpty());
    EXPECT_EQ(controller->currentKeyboardLayout(), 0u);
    fake.layoutId = 2;
    feed({{13, 'x'}});
    EXPECT_EQ(fake.translations, 3 * 4 * 128);
}

TEST_F(RemoteControllerTest, RecordSplitAcrossReadsActsOnce)
{
    const QByteArray bytes = recordStream({{6, 10}, {7, -5}});
    controller->onSocketDidReadData(nullptr, bytes.first(26), 0);
    EXPECT_TRUE(posted().isEmpty());
    controller->onSocketDidReadData(nullptr, bytes.sliced(26), 0);
    EXPECT_EQ(posted().size(), 1);
}

TEST_F(RemoteControllerTest, HeldKeysAndButtonsAreReleasedWhenStopped)
{
    injector->pointer = QPointF(40, 50);
    feed({{2, 56}, {2, 0}, {5, 0}, {5, 1}, {1, 56}});
    injector->posted.clear();

    controller->stopController();
    QList<PostedInput> released = posted();
    ASSERT_EQ(released.size(), 3);
    expectKey(released[0], 0, false);
    EXPECT_EQ(released[1].button, MouseButton::Left);
    EXPECT_FALSE(released[1].down);
    EXPECT_EQ(released[1].point, QPointF(40, 50));
    EXPECT_EQ(released[2].button, MouseButton::Right);
    EXPECT_FALSE(released[2].down);

    // Stopped: further records are ignored, and nothing is released twice.
    injector->posted.clear();
    feed({{2, 3}, {5, 2}});
    controller.reset();
    EXPECT_TRUE(posted().isEmpty());
}

TEST_F(RemoteControllerTest, DestructionReleasesHeldInput)
{
    feed({{2, 3}, {5, 2}});
    injector->posted.clear();
    controller.reset();
    ASSERT_EQ(posted().size(), 2);
    expectKey(posted()[0], 3, false);
    EXPECT_EQ(posted()[1].button, MouseButton::Other);
    EXPECT_FALSE(posted()[1].down);
}

TEST_F(RemoteControllerTest, UntrustedInjectionOnlyUpdatesTheAskFlags)
{
    store->values.insert(QStringLiteral("axAskFirstTime"), 1);
    injector->trusted = false;
    makeController();
    EXPECT_TRUE(controller->isFirstTime());

    feed({{3, 0}});
    EXPECT_FALSE(controller->isFirstTime());
    EXPECT_FALSE(controller->hasAskedPermission());
    EXPECT_EQ(store->values.value(QStringLiteral("axAskFirstTime")).toInt(), 0);

    feed({{3, 0}});
    EXPECT_TRUE(controller->hasAskedPermission());

    // Trusted: nothing changes.
    store->values.insert(QStringLiteral("axAskFirstTime"), 1);
    injector->trusted = true;
    makeController();
    feed({{3, 0}, {3, 0}});
    EXPECT_TRUE(controller->isFirstTime());
    EXPECT_FALSE(controller->hasAskedPermission());
    EXPECT_EQ(store->values.value(QStringLiteral("axAskFirstTime")).toInt(), 1);
}

TEST_F(RemoteControllerTest, WithoutConsentRecordsAreDroppedWithOneLineAPerCastUntilItIsGiven)
{
    const QString dropped = QStringLiteral("remote input from the receiver is dropped: the user has not allowed it");
    store->values.insert(QStringLiteral("axAskFirstTime"), 1);
    consent->given = false;
    makeController();
    LogCapture log;
    // Casts that reach for no receiver.
    DynamicPortTable::setDynamicPort_52020(0);
    controller->startController();
    injector->pointer = QPointF(100, 100);

    // A press, a move pair and a key: nothing reaches the display, and a
    // button pressed now is not held when the consent comes.
    feed({{5, 0}, {6, 10}, {7, -5}, {2, 3}});
    feed({{13, 'a'}});
    feed({{8, 5500}});
    EXPECT_TRUE(posted().isEmpty());
    EXPECT_FALSE(controller->mouse1Clicked());
    EXPECT_EQ(log.count(dropped), 1);
    // Untrusted reads move the ask flags as the system's trust did.
    EXPECT_FALSE(controller->isFirstTime());
    EXPECT_TRUE(controller->hasAskedPermission());
    EXPECT_EQ(store->values.value(QStringLiteral("axAskFirstTime")).toInt(), 0);

    // The next cast logs once more.
    controller->stopController();
    controller->startController();
    feed({{3, 0}});
    feed({{3, 0}});
    EXPECT_EQ(log.count(dropped), 2);
    EXPECT_TRUE(posted().isEmpty());

    // Given during the cast: the next records are injected, and the record
    // dropped before them still pairs as the previous one.
    consent->setGiven(true);
    EXPECT_TRUE(controller->isTrusted());
    feed({{6, 10}});
    EXPECT_TRUE(posted().isEmpty());
    feed({{7, -5}, {13, 'a'}});
    ASSERT_EQ(posted().size(), 3);
    expectMove(posted()[0], QPointF(110, 95));
    expectKey(posted()[1], 0, true);
    expectKey(posted()[2], 0, false);
    EXPECT_EQ(log.count(dropped), 2);

    // Taken back: dropped again, and the cast's line was already written.
    consent->setGiven(false);
    feed({{3, 0}});
    EXPECT_EQ(posted().size(), 3);
    EXPECT_EQ(log.count(dropped), 2);

    // No consent service at all is the same as no consent.
    consent.reset();
    makeController();
    controller->startController();
    feed({{3, 0}});
    EXPECT_EQ(posted().size(), 3);
    EXPECT_EQ(log.count(dropped), 3);
    DynamicPortTable::resetToDefaults();
}

TEST_F(RemoteControllerTest, HostileStreamsNeverPostUncheckedInput)
{
    // Every type with extreme values, in every order, through the fake.
    const qint32 values[] = {0, 1, -1, 0xFF, 0x0201, 0xFFC4, 0xFFFF, 0x10000, 11000,
                             std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()};
    QByteArray stream;
    for (quint32 type = 0; type < 17; ++type)
        for (const qint32 value : values)
            stream.append(recordBytes(type, value, 0xFFFFFFFF, 0xFFFFFFFF));
    stream.append(recordBytes(0xFFFFFFFF, -1));
    stream.append("\x00\x00\x00", 3);
    for (qsizetype i = 0; i < stream.size(); i += 7)
        controller->onSocketDidReadData(nullptr, stream.sliced(i, std::min<qsizetype>(7, stream.size() - i)), 0);

    for (const PostedInput &e : posted()) {
        if (e.kind == Kind::Key) {
            EXPECT_LE(e.keyCode, 127);
        } else if (e.kind == Kind::Move) {
            EXPECT_TRUE(qIsFinite(e.point.x()));
            EXPECT_TRUE(qIsFinite(e.point.y()));
        }
    }
}

TEST_F(RemoteControllerTest, NothingIsPostedWhileTheCastIsPaused)
{
    TavlinGlobal::setIsPauseCast(true);
    QSignalSpy toggles(controller.get(), &RemoteController::toggleKeyboardViewer);
    QByteArray everything;
    for (quint32 type = 0; type < 16; ++type)
        everything.append(recordBytes(type, type == 1 ? 0xFFC4 : 0x1F600));
    controller->onSocketDidReadData(nullptr, everything, 0);
    feed({{2, 0}, {5, 0}, {13, 'a'}, {6, 10}});
    EXPECT_TRUE(posted().isEmpty());
    EXPECT_EQ(toggles.size(), 0);
    // Still remembered as the previous record.
    EXPECT_EQ(controller->prevevent().type, 6u);

    TavlinGlobal::setIsPauseCast(false);
    injector->pointer = QPointF(100, 100);
    feed({{7, -5}});
    ASSERT_EQ(posted().size(), 1);
    expectMove(posted()[0], QPointF(110, 95));
}
