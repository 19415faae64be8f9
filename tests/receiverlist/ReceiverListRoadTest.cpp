// The receiver list over the real casting library against emulated
// receivers: found, listed, and connected to without a code, with a code,
// after a wrong code and after a dropped connection; a receiver that refuses
// the connection shows its tip.

#include "ReceiverListHarness.h"

#include "EmulatedReceiverRig.h"

using TestSupport::waitFor;

namespace {

class ReceiverListRoadTest : public EmulatedReceiverTest, protected ReceiverListHarness
{
protected:
    void SetUp() override
    {
        EmulatedReceiverTest::SetUp();
        if (HasFatalFailure())
            return;
        // A second receiver that only answers the search, on the same port
        // at an address of its own.
        secondAddress = TestSupport::uniqueLoopbackAddress();
        second = std::make_unique<ReceiverEmulatorThread>(secondAddress);
        const quint16 searchPort = search->port();
        second->call([&](ReceiverEmulator &emulator) {
            ReceiverProfile profile = emulator.profile();
            profile.name = QStringLiteral("Lobby Screen");
            emulator.setProfile(profile);
            emulator.addComponent<SearchResponder>(searchPort);
        });
        ASSERT_TRUE(second->start());

        QVShareManagerServices services;
        services.tavlinFactory = [this](TavlinDelegate *delegate) -> std::unique_ptr<QVTavlinInterface> {
            TavlinServices library = libraryServices();
            library.search.probeAddresses.append(secondAddress);
            return std::make_unique<QVTavlinSDKAdapter>(delegate, library);
        };
        services.screenCaptureAccess = capture;
        services.timings.disconnectResetMs = 150;
        manager = std::make_unique<QVShareManager>(services);
        model = manager->kvoModel();
        setUpHarness(manager.get());
    }

    void TearDown() override
    {
        tearDownHarness();
        manager.reset();
        FrameTest::runDeferredDeletes();
        second.reset();
        EmulatedReceiverTest::TearDown();
    }

    void setCastingCode(const QString &code)
    {
        HandshakeBehaviour behaviour = handshake->behaviour();
        behaviour.castingCode = code;
        handshake->setBehaviour(behaviour);
    }

    // Both receivers listed; the row of the one with the handshake.
    QVMainListCellView *meetingRoomRow()
    {
        if (!waitFor([this] { return rowCount() == 2; }, 10000))
            return nullptr;
        for (int i = 0; i < rowCount(); ++i) {
            if (row(i)->model().deviceIP() == receiverAddress.toString())
                return row(i);
        }
        return nullptr;
    }

    bool waitForCastingScreen()
    {
        return waitFor([this] { return currentPageName() == QVMainViewController::ShareScreenClassName; }, 10000);
    }

    void expectConnectedToMeetingRoom()
    {
        EXPECT_TRUE(manager->connectStatus());
        EXPECT_EQ(manager->connectDeviceModel().deviceIP(), receiverAddress.toString());
        EXPECT_EQ(manager->connectDeviceModel().deviceName(), QStringLiteral("Meeting Room"));
        EXPECT_EQ(page->alertVC(), nullptr);
        EXPECT_FALSE(page->isLoading());
        EXPECT_TRUE(waitFor([this] { return master->count(QStringLiteral("heartbeat")) > 0; }, 10000));
    }

    QHostAddress secondAddress;
    std::unique_ptr<ReceiverEmulatorThread> second;
};

} // namespace

TEST_F(ReceiverListRoadTest, BothEmulatedReceiversAreListedByName)
{
    ASSERT_TRUE(waitFor([this] { return rowCount() == 2; }, 10000));
    EXPECT_FALSE(page->noDataView()->isVisible());
    // The library keeps its list in name order.
    EXPECT_EQ(row(0)->deviceName()->text(), QStringLiteral("Lobby Screen"));
    EXPECT_EQ(row(0)->deviceIP()->text(), secondAddress.toString());
    EXPECT_EQ(row(1)->deviceName()->text(), QStringLiteral("Meeting Room"));
    EXPECT_EQ(row(1)->deviceIP()->text(), receiverAddress.toString());
}

TEST_F(ReceiverListRoadTest, AReceiverWithoutACodeConnectsAtOnce)
{
    setCastingCode(QString());
    receiver->call([](ReceiverEmulator &emulator) {
        ReceiverProfile profile = emulator.profile();
        profile.features &= ~qint64(0x40); // no casting code configured
        emulator.setProfile(profile);
    });
    QVMainListCellView *room = meetingRoomRow();
    ASSERT_NE(room, nullptr);
    room->connectBtn()->click();
    EXPECT_TRUE(page->isLoading());
    ASSERT_TRUE(waitForCastingScreen());
    expectConnectedToMeetingRoom();
    EXPECT_FALSE(remembered(receiverAddress.toString()));
}

TEST_F(ReceiverListRoadTest, TheCastingCodeIsAskedForSentAndRemembered)
{
    QVMainListCellView *room = meetingRoomRow();
    ASSERT_NE(room, nullptr);
    room->connectBtn()->click();
    QVInputViewController *dialog = waitForDialog(10000);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(page->isLoading());
    typeCode(dialog, EmulatedCastingCode);
    pressReturn(dialog);
    ASSERT_TRUE(waitForCastingScreen());
    expectConnectedToMeetingRoom();
    ASSERT_TRUE(remembered(receiverAddress.toString()));
    EXPECT_EQ(remembered(receiverAddress.toString())->screenCastingCode(), EmulatedCastingCode);
    EXPECT_TRUE(handshake->allRequests().contains(QStringLiteral("CHECKPASSWORD\r\n") + EmulatedCastingCode))
        << handshake->allRequests().join(" | ").toStdString();
}

TEST_F(ReceiverListRoadTest, AWrongCodeShowsItsTipAndTheRightOneThenConnects)
{
    remember(QStringLiteral("Meeting Room"), receiverAddress.toString(), QStringLiteral("654321"));
    QVMainListCellView *room = meetingRoomRow();
    ASSERT_NE(room, nullptr);
    room->connectBtn()->click();
    QVInputViewController *dialog = waitForDialog(10000);
    ASSERT_NE(dialog, nullptr);
    // The remembered code is offered; it is wrong by now.
    EXPECT_EQ(dialog->codeTextField()->text(), QStringLiteral("654321"));
    pressReturn(dialog);
    ASSERT_TRUE(waitForBanner(QStringLiteral("main_enter_correct_code"), 10000)) << takeBanners().join(", ").toStdString();
    EXPECT_FALSE(remembered(receiverAddress.toString()));
    EXPECT_EQ(page->alertVC(), dialog);
    EXPECT_FALSE(manager->connectStatus());

    typeCode(dialog, EmulatedCastingCode);
    pressReturn(dialog);
    ASSERT_TRUE(waitForCastingScreen());
    expectConnectedToMeetingRoom();
    EXPECT_EQ(remembered(receiverAddress.toString())->screenCastingCode(), EmulatedCastingCode);
    // Both codes went over the one connection.
    EXPECT_EQ(handshake->connectionCount(), 1);
}

TEST_F(ReceiverListRoadTest, ACodeCheckCutOffKeepsTheCodeAndTheNextTryConnectsAnew)
{
    HandshakeBehaviour dropping = handshake->behaviour();
    dropping.closeOnRequest = QStringLiteral("CHECKPASSWORD");
    handshake->setBehaviour(dropping);
    QVMainListCellView *room = meetingRoomRow();
    ASSERT_NE(room, nullptr);
    room->connectBtn()->click();
    QVInputViewController *dialog = waitForDialog(10000);
    ASSERT_NE(dialog, nullptr);
    typeCode(dialog, EmulatedCastingCode);
    pressReturn(dialog);
    ASSERT_TRUE(waitForBanner(QStringLiteral("main_connection_failed"), 10000)) << takeBanners().join(", ").toStdString();
    ASSERT_TRUE(remembered(receiverAddress.toString()));
    EXPECT_EQ(remembered(receiverAddress.toString())->screenCastingCode(), EmulatedCastingCode);
    EXPECT_TRUE(dialog->isVisible());

    // The receiver is back to normal; the same code, sent again from the
    // dialog, travels on a new connection.
    setCastingCode(EmulatedCastingCode);
    HandshakeBehaviour normal = handshake->behaviour();
    normal.closeOnRequest.clear();
    handshake->setBehaviour(normal);
    pressReturn(dialog);
    ASSERT_TRUE(waitForCastingScreen());
    expectConnectedToMeetingRoom();
    EXPECT_EQ(handshake->connectionCount(), 2);
}

TEST_F(ReceiverListRoadTest, AReceiverThatRefusesTheConnectionShowsItsTip)
{
    QVMainListCellView *room = meetingRoomRow();
    ASSERT_NE(room, nullptr);
    receiver->call([this](ReceiverEmulator &) { handshake->stop(); });
    room->connectBtn()->click();
    ASSERT_TRUE(waitForBanner(QStringLiteral("main_connection_failed"), 10000)) << takeBanners().join(", ").toStdString();
    EXPECT_FALSE(page->isLoading());
    EXPECT_EQ(page->alertVC(), nullptr);
    EXPECT_EQ(model->connectDeviceStatus(), 4);
    EXPECT_FALSE(manager->connectStatus());
    TestSupport::spin(50); // for a page change that must not come
    EXPECT_EQ(currentPageName(), QVMainViewController::ClassName);
}
