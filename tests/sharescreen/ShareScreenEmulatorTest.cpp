// The casting screen over the real casting library, against the receiver
// emulator: a cast started, frozen, sent to full screen and stopped from the
// screen's own buttons, a start the receiver's cast mode does not allow, and
// the disconnect back to the receiver list.

#include "EmulatedReceiverRig.h"
#include "ShareScreenTestSupport.h"

using TestSupport::waitFor;

namespace {

class ShareScreenEmulatorTest : public ::testing::Test, protected EmulatedReceiverRig
{
protected:
    void SetUp() override
    {
        setUpRig();
        for (const QString &name : {QStringLiteral("QVMainViewController"), QStringLiteral("QVDownLoadSelectFileVC")}) {
            overrides.push_back(std::make_unique<QVPageRegistry::Override>(
                name, [name]() -> QWidget * { return new StandInPage(name, true); }));
        }
        QVShareScreenServices services;
        // No file-share server here: the probe ends at once.
        services.fileSharePorts = {ShareScreenTest::closedPort(receiverAddress)};
        services.freezeDelayMs = 30;
        overrides.push_back(std::make_unique<QVPageRegistry::Override>(
            ShareScreenTest::ScreenName,
            [services]() -> QWidget * { return new QVShareScreenViewController(services); }));
    }

    void TearDown() override
    {
        delete host.data();
        QVPublicTools::sharedPublicTools()->vcCacheDictionary().clear();
        FrameTest::runDeferredDeletes();
        overrides.clear();
        tearDownRig();
    }

    // Connected to the emulator, the screen in the main window's host.
    void openScreen(const MasterControlBehaviour &behaviour)
    {
        master->setBehaviour(behaviour);
        findAndConnect();
        if (::testing::Test::HasFatalFailure())
            return;
        QVShareManager::setSharedShareManager(manager.get());
        host = new QVRootViewController;
        host->resize(375, 640);
        host->show();
        host->showNextPageViewWithClassStr(ShareScreenTest::ScreenName);
        ASSERT_TRUE(waitFor([&] {
            screen = qobject_cast<QVShareScreenViewController *>(host->currentViewController());
            return screen && !screen->isProbingFileFunctions();
        }));
        // The receiver's cast mode is known once its heartbeat replies are in.
        ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("heartbeat")) >= 3; }, 10000));
    }

    QString currentPageName() const
    {
        QWidget *page = host ? host->currentViewController() : nullptr;
        return page ? page->objectName() : QString();
    }

    std::vector<std::unique_ptr<QVPageRegistry::Override>> overrides;
    QPointer<QVRootViewController> host;
    QPointer<QVShareScreenViewController> screen;
};

TEST_F(ShareScreenEmulatorTest, CastStartsFreezesGoesFullScreenAndStopsFromTheScreen)
{
    MasterControlBehaviour behaviour;
    behaviour.castMode = 2;
    behaviour.castReply = 1;
    openScreen(behaviour);
    if (HasFatalFailure())
        return;
    EXPECT_EQ(screen->deviceNameLabel()->text(), QStringLiteral("Meeting Room"));

    screen->switchBtn()->click();
    EXPECT_EQ(screen->switchBtnTag(), QVShareScreenViewController::SwitchTagApplying);
    ASSERT_TRUE(waitFor([&] { return model->castScreenStatus() == 0; }, 10000));
    ASSERT_TRUE(waitFor([&] { return screen->switchBtnTag() == QVShareScreenViewController::SwitchTagEnd; }));
    EXPECT_EQ(master->count(QStringLiteral("requestCast")), 1);
    ASSERT_TRUE(waitFor([&] { return rtsp.methods().contains("SETUP"); }));
    EXPECT_FALSE(screen->freezeBtn()->isHidden());
    EXPECT_FALSE(screen->fullScreenBtn()->isHidden());
    EXPECT_FALSE(screen->tilesEnabled());
    EXPECT_EQ(sound.current(), sound.sonvale.id);

    // Freeze: the picture stops after the windows are gone.
    screen->freezeBtn()->click();
    ASSERT_TRUE(waitFor([&] { return senders.shared().videoPaused; }));
    EXPECT_EQ(screen->freezeBtn()->shareStyle(), QVShareScreenViewController::StyleUnFreeze);
    screen->freezeBtn()->click();
    ASSERT_TRUE(waitFor([&] { return !senders.shared().videoPaused; }));
    EXPECT_EQ(screen->freezeBtn()->shareStyle(), QVShareScreenViewController::StyleFreeze);

    // Full screen on the receiver, which then reports it.
    screen->fullScreenBtn()->click();
    EXPECT_EQ(screen->fullScreenBtn()->shareStyle(), QVShareScreenViewController::StyleUnFullScreen);
    ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("requestCast")) == 2; }));
    ASSERT_TRUE(waitFor([&] { return model->fullScreenStatusStyle() == 1; }));
    TestSupport::spin(20); // for a change of the button that must not come
    EXPECT_EQ(screen->fullScreenBtn()->shareStyle(), QVShareScreenViewController::StyleUnFullScreen);

    screen->switchBtn()->click();
    ASSERT_TRUE(waitFor([&] { return model->castScreenStatus() == 1; }));
    ASSERT_TRUE(waitFor([&] { return screen->freezeBtn()->isHidden(); }));
    EXPECT_EQ(screen->switchBtnTag(), QVShareScreenViewController::SwitchTagStart);
    EXPECT_TRUE(screen->fullScreenBtn()->isHidden());
    EXPECT_TRUE(screen->tilesEnabled());
    EXPECT_EQ(sound.current(), sound.speakers.id);

    // Disconnect: the session ends, and the receiver list comes back.
    screen->disconnectBtn()->click();
    EXPECT_FALSE(manager->connectStatus());
    ASSERT_TRUE(waitFor([&] { return currentPageName() == QStringLiteral("QVMainViewController"); }));
    ASSERT_TRUE(waitFor([&] { return master->openConnections() == 0; }, 10000));
}

// The library answers a start that starts nothing with a refusal at once, so
// the button never waits for a cast request that was never sent.
TEST_F(ShareScreenEmulatorTest, StartThatTheCastModeDoesNotAllowReturnsTheButtonAtOnce)
{
    MasterControlBehaviour behaviour;
    behaviour.castMode = 0;
    openScreen(behaviour);
    if (HasFatalFailure())
        return;
    QSignalSpy replies(model, &QVKVOModel::replyCastStatusChanged);
    screen->switchBtn()->click();
    ASSERT_TRUE(waitFor([&] { return screen->switchBtnTag() == QVShareScreenViewController::SwitchTagStart; }));
    ASSERT_EQ(replies.size(), 1);
    EXPECT_EQ(replies.first().at(0).toLongLong(), 0);
    EXPECT_TRUE(screen->tilesEnabled());
    EXPECT_EQ(master->count(QStringLiteral("requestCast")), 0);
    EXPECT_EQ(model->castScreenStatus(), 1);
    EXPECT_EQ(sound.current(), sound.speakers.id);
}

// A receiver that never answers the cast request: the library gives it up
// and the user is told it timed out, not that the receiver refused.
TEST_F(ShareScreenEmulatorTest, AStartTheReceiverNeverAnswersEndsWithTheTimeOutTip)
{
    castRequestTimeoutMs = 300;
    MasterControlBehaviour behaviour;
    behaviour.castMode = 2;
    behaviour.castReply = -1;
    openScreen(behaviour);
    if (HasFatalFailure())
        return;
    QSignalSpy replies(model, &QVKVOModel::replyCastStatusChanged);
    screen->switchBtn()->click();
    EXPECT_EQ(screen->switchBtnTag(), QVShareScreenViewController::SwitchTagApplying);
    ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("requestCast")) == 1; }));
    ASSERT_TRUE(waitFor([&] { return host->tipsBanner()->text() == QStringLiteral("main_requestScreenCasting_timeOut"); },
                        5000));
    ASSERT_EQ(replies.size(), 1);
    EXPECT_EQ(replies.first().at(0).toLongLong(), 2);
    ASSERT_TRUE(waitFor([&] { return screen->switchBtnTag() == QVShareScreenViewController::SwitchTagStart; }));
    EXPECT_TRUE(screen->tilesEnabled());
    EXPECT_EQ(model->castScreenStatus(), 1);
    EXPECT_EQ(rtsp.connectionCount(), 0);
    EXPECT_EQ(sound.current(), sound.speakers.id);
}

} // namespace
