// The casting screen's state machine through every report of the casting
// library, played on the fake facade: start, the receiver's answers, the
// running cast, freeze, full screen, stop, disconnects and the download
// window.

#include "ShareScreenTestSupport.h"

#include "BaseViewController/View/QVBaseButton.h"
#include "Main/ViewController/PermissionPrompt/QVPermissionPromptVC.h"
#include "Main/ViewController/Root/QVWindow.h"
#include "PublicManager/QVNotificationCenter.h"

#include "FakePlatformServices.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

using TestSupport::waitFor;

namespace {

class ShareScreenStateTest : public ShareScreenTest::Fixture
{
protected:
    bool tilesOn() const
    {
        return screen->tilesEnabled() && screen->transferFileView()->hoverState()
            && screen->downLoadFileView()->hoverState();
    }
    bool tilesOff() const
    {
        return !screen->tilesEnabled() && !screen->transferFileView()->hoverState()
            && !screen->downLoadFileView()->hoverState();
    }
    // The cast as the library reports it once it runs.
    void castRuns()
    {
        ASSERT_NE(library(), nullptr);
        library()->castSuccess();
        settle();
    }
};

TEST_F(ShareScreenStateTest, StartWaitsForTheCastThenStopReturnsToTheStartState)
{
    ASSERT_TRUE(openScreen());
    EXPECT_EQ(screen->deviceNameLabel()->text(), ShareScreenTest::ReceiverName);
    EXPECT_EQ(screen->switchBtnTag(), QVShareScreenViewController::SwitchTagStart);
    EXPECT_EQ(screen->switchBtn()->text(), QStringLiteral("shareScreen_switchBtn_title_start"));
    EXPECT_TRUE(screen->freezeBtn()->isHidden());
    EXPECT_TRUE(screen->fullScreenBtn()->isHidden());
    EXPECT_TRUE(tilesOn());

    screen->switchBtn()->click();
    EXPECT_EQ(callCount(QStringLiteral("startMirror")), 1);
    EXPECT_EQ(screen->switchBtnTag(), QVShareScreenViewController::SwitchTagApplying);
    EXPECT_EQ(screen->switchBtn()->text(), QStringLiteral("shareScreen_switchBtn_title_applying"));
    EXPECT_TRUE(tilesOff());
    EXPECT_DOUBLE_EQ(screen->transferFileView()->opacity(), QVShareScreenViewController::TileDimmedOpacity);

    // A second click while the receiver is asked does nothing.
    screen->switchBtn()->click();
    EXPECT_EQ(callCount(QStringLiteral("startMirror")), 1);

    // The receiver accepts; the cast comes up.
    library()->replyCastRequest(1);
    settle();
    EXPECT_EQ(screen->switchBtnTag(), QVShareScreenViewController::SwitchTagEnd);
    castRuns();
    EXPECT_EQ(screen->switchBtn()->text(), QStringLiteral("shareScreen_switchBtn_title_end"));
    EXPECT_FALSE(screen->freezeBtn()->isHidden());
    EXPECT_FALSE(screen->fullScreenBtn()->isHidden());
    EXPECT_TRUE(tilesOff());

    screen->switchBtn()->click();
    EXPECT_EQ(callCount(QStringLiteral("stopMirror")), 1);
    EXPECT_EQ(screen->switchBtnTag(), QVShareScreenViewController::SwitchTagStart);
    library()->castStopWithError(std::nullopt);
    settle();
    EXPECT_EQ(screen->switchBtn()->text(), QStringLiteral("shareScreen_switchBtn_title_start"));
    EXPECT_TRUE(screen->freezeBtn()->isHidden());
    EXPECT_TRUE(screen->fullScreenBtn()->isHidden());
    EXPECT_TRUE(tilesOn());
    EXPECT_DOUBLE_EQ(screen->transferFileView()->opacity(), 1.0);
}

TEST_F(ShareScreenStateTest, RefusedTimedOutAndAtOnceAnsweredStartsReturnTheButton)
{
    ASSERT_TRUE(openScreen());
    for (const qint64 answer : {qint64(0), qint64(2)}) {
        screen->switchBtn()->click();
        ASSERT_EQ(screen->switchBtnTag(), QVShareScreenViewController::SwitchTagApplying);
        library()->replyCastRequest(answer);
        settle();
        EXPECT_EQ(screen->switchBtnTag(), QVShareScreenViewController::SwitchTagStart) << answer;
        EXPECT_TRUE(tilesOn()) << answer;
    }

    // A library that starts nothing answers inside the start itself: the
    // answer is seen after the start, and the screen ends where it began.
    fake->onStartMirror = [this] { library()->replyCastRequest(0); };
    screen->switchBtn()->click();
    settle();
    EXPECT_EQ(screen->switchBtnTag(), QVShareScreenViewController::SwitchTagStart);
    EXPECT_EQ(screen->switchBtn()->text(), QStringLiteral("shareScreen_switchBtn_title_start"));
    EXPECT_TRUE(tilesOn());
    EXPECT_EQ(callCount(QStringLiteral("startMirror")), 3);
    // The root page tells the user.
    EXPECT_EQ(host->tipsBanner()->text(), QStringLiteral("main_requestScreenCasting_refuse"));
}

TEST_F(ShareScreenStateTest, CastThatEndsWithAnErrorReturnsToTheStartState)
{
    ASSERT_TRUE(openScreen());
    screen->switchBtn()->click();
    library()->replyCastRequest(1);
    castRuns();
    screen->freezeBtn()->click();
    settle();
    ASSERT_TRUE(waitFor([&] { return callCount(QStringLiteral("setPauseCastStatus 1")) == 1; }));

    library()->castStopWithError(TavlinError{QStringLiteral("com.TavlinError.Domain"), -7, QStringLiteral("closed")});
    settle();
    EXPECT_EQ(screen->switchBtnTag(), QVShareScreenViewController::SwitchTagStart);
    EXPECT_TRUE(screen->freezeBtn()->isHidden());
    EXPECT_EQ(screen->freezeBtn()->shareStyle(), QVShareScreenViewController::StyleFreeze);
    EXPECT_TRUE(tilesOn());

    // The next cast starts from the live picture.
    screen->switchBtn()->click();
    library()->castSuccess();
    settle();
    EXPECT_EQ(screen->freezeBtn()->shareStyle(), QVShareScreenViewController::StyleFreeze);
    EXPECT_EQ(screen->freezeBtn()->text(), QStringLiteral("shareScreen_btn_freeze"));
}

TEST_F(ShareScreenStateTest, FullScreenFollowsTheReceiverAndIsOfferedOnlyWhereAllowed)
{
    ASSERT_TRUE(openScreen());
    library()->allowFullScreenStateChanged(0);
    settle();
    screen->switchBtn()->click();
    castRuns();
    EXPECT_FALSE(screen->freezeBtn()->isHidden());
    EXPECT_TRUE(screen->fullScreenBtn()->isHidden());

    library()->allowFullScreenStateChanged(1);
    library()->castSuccess();
    settle();
    ASSERT_FALSE(screen->fullScreenBtn()->isHidden());

    // Refused: the button stays.
    fake->fullScreenAnswer = false;
    screen->fullScreenBtn()->click();
    EXPECT_EQ(callCount(QStringLiteral("setFullScreenStatus 1")), 1);
    EXPECT_EQ(screen->fullScreenBtn()->shareStyle(), QVShareScreenViewController::StyleFullScreen);
    fake->fullScreenAnswer = true;
    screen->fullScreenBtn()->click();
    EXPECT_EQ(screen->fullScreenBtn()->shareStyle(), QVShareScreenViewController::StyleUnFullScreen);
    EXPECT_EQ(screen->fullScreenBtn()->text(), QStringLiteral("shareScreen_btn_unFullScreen"));
    EXPECT_EQ(model()->fullScreenStatus(), 1);
    settle();
    EXPECT_EQ(host->tipsBanner()->text(), QStringLiteral("shareScreen_request_fullScreen"));
    screen->fullScreenBtn()->click();
    EXPECT_EQ(callCount(QStringLiteral("setFullScreenStatus 0")), 1);
    EXPECT_EQ(screen->fullScreenBtn()->shareStyle(), QVShareScreenViewController::StyleFullScreen);

    // The receiver's own reports.
    library()->fullScreenStateChanged(1);
    settle();
    EXPECT_EQ(screen->fullScreenBtn()->shareStyle(), QVShareScreenViewController::StyleUnFullScreen);
    library()->fullScreenStateChanged(7);
    settle();
    EXPECT_EQ(screen->fullScreenBtn()->shareStyle(), QVShareScreenViewController::StyleUnFullScreen);
    library()->fullScreenStateChanged(0);
    settle();
    EXPECT_EQ(screen->fullScreenBtn()->shareStyle(), QVShareScreenViewController::StyleFullScreen);
}

TEST_F(ShareScreenStateTest, FreezeHidesTheWindowsFirstAndARefusedFreezeIsNotShownAsDone)
{
    // Long enough to see the windows go before the freeze is asked for.
    services.freezeDelayMs = 500;
    // The screen in the real main window, the settings window open beside it.
    auto *ownedWindow = new QVWindow;
    hostOwner.reset(ownedWindow);
    QVWindow &window = *ownedWindow;
    host = new QVRootViewController;
    QVRootViewController *root = host.data();
    window.setContentViewController(root);
    window.makeKeyAndOrderFront();
    QVSettingWindow settings;
    settings.makeKeyAndOrderFront();
    root->showNextPageViewWithClassStr(ShareScreenTest::ScreenName);
    ASSERT_TRUE(waitFor([&] { return currentScreen() != nullptr; }));
    screen = currentScreen();
    screen->switchBtn()->click();
    castRuns();

    fake->pauseAnswer = false;
    screen->freezeBtn()->click();
    EXPECT_EQ(screen->freezeBtn()->shareStyle(), QVShareScreenViewController::StyleUnFreeze);
    EXPECT_EQ(callCount(QStringLiteral("setPauseCastStatus 1")), 0);
    settle();
    EXPECT_TRUE(window.isMinimized() || !window.isVisible());
    EXPECT_TRUE(settings.isMinimized() || !settings.isVisible());
    EXPECT_EQ(callCount(QStringLiteral("setPauseCastStatus 1")), 0);
    ASSERT_TRUE(waitFor([&] { return callCount(QStringLiteral("setPauseCastStatus 1")) == 1; }));
    // The library turned it down: the picture is live, and the button says so.
    EXPECT_EQ(screen->freezeBtn()->shareStyle(), QVShareScreenViewController::StyleFreeze);

    fake->pauseAnswer = true;
    screen->freezeBtn()->click();
    ASSERT_TRUE(waitFor([&] { return callCount(QStringLiteral("setPauseCastStatus 1")) == 2; }));
    settle();
    EXPECT_EQ(screen->freezeBtn()->shareStyle(), QVShareScreenViewController::StyleUnFreeze);
    EXPECT_EQ(screen->freezeBtn()->text(), QStringLiteral("shareScreen_btn_unFreeze"));

    // Back in the window, the button resumes the picture; a refusal leaves it.
    window.makeKeyAndOrderFront();
    fake->pauseAnswer = false;
    screen->freezeBtn()->click();
    EXPECT_EQ(callCount(QStringLiteral("setPauseCastStatus 0")), 1);
    EXPECT_EQ(screen->freezeBtn()->shareStyle(), QVShareScreenViewController::StyleUnFreeze);
    fake->pauseAnswer = true;
    screen->freezeBtn()->click();
    EXPECT_EQ(screen->freezeBtn()->shareStyle(), QVShareScreenViewController::StyleFreeze);
}

TEST_F(ShareScreenStateTest, StartWithoutScreenCaptureShowsThePromptAndItsCloseButtonRemovesIt)
{
    ASSERT_TRUE(openScreen());
    capture->allowed = false;
    screen->switchBtn()->click();
    settle();
    EXPECT_EQ(callCount(QStringLiteral("startMirror")), 0);
    EXPECT_EQ(screen->switchBtnTag(), QVShareScreenViewController::SwitchTagStart);
    QPointer<QVPermissionPromptVC> prompt = screen->permissionPromptVC();
    ASSERT_NE(prompt, nullptr);
    EXPECT_TRUE(prompt->isVisible());
    EXPECT_EQ(prompt->geometry(), screen->rect());
    EXPECT_EQ(prompt->titleLabel()->text(), QStringLiteral("permissionPrompt_tips_title"));
    // The prompt covers the page: a click on the start button reaches the
    // prompt's dimming layer, not the button.
    const QPoint startButton = screen->switchBtn()->mapTo(screen, screen->switchBtn()->rect().center());
    EXPECT_NE(screen->childAt(startButton), screen->switchBtn());
    // A second refusal shows the same prompt, not a second one.
    screen->switchBtn()->click();
    settle();
    EXPECT_EQ(screen->permissionPromptVC(), prompt.data());

    // A real click on its close button takes it away, and the page takes
    // clicks again.
    QVBaseButton *close = prompt->closedBtn();
    ASSERT_TRUE(close->isVisible());
    QTest::mouseClick(close, Qt::LeftButton, Qt::NoModifier, close->rect().center());
    settle();
    EXPECT_EQ(screen->permissionPromptVC(), nullptr);
    EXPECT_TRUE(prompt.isNull());
    EXPECT_EQ(screen->childAt(startButton), screen->switchBtn());

    // The next refusal makes a prompt afresh.
    screen->switchBtn()->click();
    settle();
    ASSERT_NE(screen->permissionPromptVC(), nullptr);
    EXPECT_TRUE(screen->permissionPromptVC()->isVisible());
}

TEST_F(ShareScreenStateTest, DisconnectGoesBackToTheReceiverListAndStopsListening)
{
    ASSERT_TRUE(openScreen());
    screen->switchBtn()->click();
    castRuns();
    screen->disconnectBtn()->click();
    EXPECT_EQ(callCount(QStringLiteral("disconnectWithDevice")), 1);
    settle();
    ASSERT_TRUE(waitFor([&] { return currentPageName() == QStringLiteral("QVMainViewController"); }));
    EXPECT_EQ(host->tipsBanner()->text(), QStringLiteral("shareScreen_disconnected"));
    EXPECT_FALSE(cache().contains(ShareScreenTest::ScreenName));
    // The page went with the switch.
    ASSERT_TRUE(waitFor([&] {
        FrameTest::runDeferredDeletes();
        return screen.isNull();
    }));
}

TEST_F(ShareScreenStateTest, ReportsAfterADisconnectNoLongerMoveTheScreen)
{
    ASSERT_TRUE(openScreen());
    // The download window's browser is alive: the screen stays in place.
    auto *browser = new StandInPage(QStringLiteral("QVDownLoadSelectFileVC"), true);
    ASSERT_TRUE(cache().contains(QStringLiteral("QVDownLoadSelectFileVC")));
    screen->openDownLoadPageWithStatus(false);
    settle();
    EXPECT_TRUE(screen->hoverBgView()->isVisible());
    EXPECT_TRUE(tilesOff());

    library()->deviceDidDisconnectWithError(
        TavlinError{QStringLiteral("com.TavlinError.Domain"), 2, QStringLiteral("heartbeat")});
    settle();
    EXPECT_TRUE(screen->kvoIsRemoved());
    EXPECT_FALSE(cache().contains(ShareScreenTest::ScreenName));
    EXPECT_EQ(currentScreen(), screen.data());
    EXPECT_TRUE(screen->hoverBgView()->isVisible());

    // Later reports of the library reach no screen of a gone session.
    library()->castSuccess();
    library()->fullScreenStateChanged(1);
    settle();
    EXPECT_EQ(screen->switchBtnTag(), QVShareScreenViewController::SwitchTagStart);
    EXPECT_EQ(screen->fullScreenBtn()->shareStyle(), QVShareScreenViewController::StyleFullScreen);

    // The window closes: the browser leaves and the receiver list comes.
    QVNotificationCenter::defaultCenter()->postNotificationName(QVNotificationName::MainDownLoadSelectFile_Close);
    EXPECT_FALSE(cache().contains(QStringLiteral("QVDownLoadSelectFileVC")));
    ASSERT_TRUE(waitFor([&] { return currentPageName() == QStringLiteral("QVMainViewController"); }));
    Q_UNUSED(browser);
}

TEST_F(ShareScreenStateTest, DownloadWindowCoversTheScreenUntilItCloses)
{
    ASSERT_TRUE(openScreen());
    screen->openDownLoadPageWithStatus(false);
    settle();
    EXPECT_TRUE(screen->hoverBgView()->isVisible());
    EXPECT_TRUE(tilesOff());
    EXPECT_FALSE(screen->switchBtn()->isInteraction());

    // The browser's confirm from this screen shows the download page here.
    QVNotificationCenter::defaultCenter()->postNotificationName(
        QVNotificationName::MainDownLoadFileList_Jump, {{QVNotificationName::JumpFromKey, QStringLiteral("main")}});
    settle();
    EXPECT_EQ(currentPageName(), ShareScreenTest::ScreenName);

    QVNotificationCenter::defaultCenter()->postNotificationName(QVNotificationName::MainDownLoadSelectFile_Close);
    settle();
    EXPECT_FALSE(screen->hoverBgView()->isVisible());
    EXPECT_TRUE(tilesOn());
    EXPECT_TRUE(screen->switchBtn()->isInteraction());

    QVNotificationCenter::defaultCenter()->postNotificationName(
        QVNotificationName::MainDownLoadFileList_Jump, {{QVNotificationName::JumpFromKey, QStringLiteral("share")}});
    ASSERT_TRUE(waitFor([&] { return currentPageName() == QStringLiteral("QVDownLoadFileVC"); }));
    // The screen stays cached for the way back.
    EXPECT_TRUE(cache().contains(ShareScreenTest::ScreenName));
}

TEST_F(ShareScreenStateTest, DisconnectWhileTheUploadPageShowsEndsTheScreenButLeavesTheWayToThatPage)
{
    ASSERT_TRUE(openScreen());
    // The upload page shows; the screen waits detached, in the cache.
    host->showNextPageViewWithClassStr(QStringLiteral("QVTransferFileViewController"));
    ASSERT_TRUE(waitFor([&] { return currentPageName() == QStringLiteral("QVTransferFileViewController"); }));
    QVPublicTools::sharedPublicTools()->setIsInToUploadFilePage(true);
    ASSERT_TRUE(cache().contains(ShareScreenTest::ScreenName));

    library()->deviceDidDisconnectWithError(
        TavlinError{QStringLiteral("com.TavlinError.Domain"), 1, QStringLiteral("network")});
    settle();
    // The upload page stays where it is: it reports and leaves by itself.
    EXPECT_EQ(currentPageName(), QStringLiteral("QVTransferFileViewController"));
    // The screen of the ended session is gone, and with it its observers.
    EXPECT_FALSE(cache().contains(ShareScreenTest::ScreenName));
    ASSERT_TRUE(waitFor([&] {
        FrameTest::runDeferredDeletes();
        return screen.isNull();
    }));
    // The next connect, here to another receiver, gets a screen of its own.
    manager->setConnectDeviceModel(DeviceInformation(address.toString(), QStringLiteral("Lobby")));
    host->showNextPageViewWithClassStr(ShareScreenTest::ScreenName);
    ASSERT_TRUE(waitFor([&] { return currentScreen() != nullptr; }));
    EXPECT_FALSE(currentScreen()->kvoIsRemoved());
    EXPECT_EQ(currentScreen()->deviceNameLabel()->text(), QStringLiteral("Lobby"));
}

// The consent to remote input, over the platform's fake consent and settings.
class RemoteInputConsentTest : public ShareScreenStateTest, public ::testing::WithParamInterface<bool>
{
protected:
    void SetUp() override
    {
        ShareScreenStateTest::SetUp();
        services.remoteInputConsent = platform.remoteInputConsent;
        services.settings = platform.store;
    }

    // The screen made anew, as after the next connect or the next run.
    void reopenScreen()
    {
        hostOwner.reset();
        QVPublicTools::sharedPublicTools()->vcCacheDictionary().remove(ShareScreenTest::ScreenName);
        settle();
        ASSERT_TRUE(openScreen());
    }

    bool askedAndStored() const
    {
        return platform.store->value(QVShareScreenServices::RemoteInputAskedKey).toBool();
    }

    Platform::Fake::FakePlatformServices platform;
};

TEST_P(RemoteInputConsentTest, AskedAtTheFirstStartOnlyAndTheCastStartsEitherWay)
{
    const bool allow = GetParam();
    ASSERT_TRUE(openScreen());

    screen->switchBtn()->click();
    ASSERT_TRUE(screen->isAskingRemoteInputConsent());
    QVDefaultAlertController *question = screen->defaultAlertVC();
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->contentLabel()->text(), QStringLiteral("shareScreen_remoteInput_describe"));
    EXPECT_EQ(callCount(QStringLiteral("startMirror")), 0);
    EXPECT_TRUE(tilesOff());
    // While the question is up, another start asks nothing more.
    screen->switchBtn()->click();
    EXPECT_EQ(callCount(QStringLiteral("startMirror")), 0);
    EXPECT_EQ(platform.remoteInputConsent->writes, 0);

    if (allow)
        question->doubleRightBtnClick();
    else
        question->doubleLeftBtnClick();
    settle();
    // What the library reads before it posts the receiver's input.
    EXPECT_EQ(platform.remoteInputConsent->isGiven(), allow);
    EXPECT_EQ(platform.remoteInputConsent->writes, 1);
    EXPECT_TRUE(askedAndStored());
    EXPECT_FALSE(screen->checkShowingAlert());
    EXPECT_EQ(callCount(QStringLiteral("startMirror")), 1);
    EXPECT_EQ(screen->switchBtnTag(), QVShareScreenViewController::SwitchTagApplying);

    // A start the receiver turns down, then the next start: no question.
    library()->replyCastRequest(0);
    settle();
    EXPECT_EQ(screen->switchBtnTag(), QVShareScreenViewController::SwitchTagStart);
    screen->switchBtn()->click();
    EXPECT_FALSE(screen->checkShowingAlert());
    EXPECT_EQ(callCount(QStringLiteral("startMirror")), 2);

    // Nor on a screen made later over the same settings, whatever the answer was.
    library()->replyCastRequest(0);
    settle();
    reopenScreen();
    screen->switchBtn()->click();
    EXPECT_FALSE(screen->isAskingRemoteInputConsent());
    EXPECT_EQ(callCount(QStringLiteral("startMirror")), 3);
    EXPECT_EQ(platform.remoteInputConsent->isGiven(), allow);
    EXPECT_EQ(platform.remoteInputConsent->writes, 1);
}

INSTANTIATE_TEST_SUITE_P(Answers, RemoteInputConsentTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &answer) { return answer.param ? "Allow" : "Refuse"; });

TEST_F(RemoteInputConsentTest, NotAskedWhenGivenAlreadyOrWithNoConsentToKeep)
{
    // Given in the settings list before any cast.
    platform.remoteInputConsent->given = true;
    ASSERT_TRUE(openScreen());
    screen->switchBtn()->click();
    EXPECT_FALSE(screen->isAskingRemoteInputConsent());
    EXPECT_EQ(callCount(QStringLiteral("startMirror")), 1);
    EXPECT_EQ(platform.remoteInputConsent->writes, 0);
    library()->replyCastRequest(0);
    settle();

    // A system without a consent to keep: the cast just starts.
    services.remoteInputConsent.reset();
    reopenScreen();
    screen->switchBtn()->click();
    EXPECT_FALSE(screen->isAskingRemoteInputConsent());
    EXPECT_EQ(callCount(QStringLiteral("startMirror")), 2);
}

TEST_F(RemoteInputConsentTest, WithoutSettingsTheScreenStillAsksOnlyOnce)
{
    services.settings.reset();
    ASSERT_TRUE(openScreen());
    screen->switchBtn()->click();
    ASSERT_NE(screen->defaultAlertVC(), nullptr);
    screen->defaultAlertVC()->doubleLeftBtnClick();
    settle();
    library()->replyCastRequest(0);
    settle();
    screen->switchBtn()->click();
    EXPECT_FALSE(screen->isAskingRemoteInputConsent());
    EXPECT_EQ(callCount(QStringLiteral("startMirror")), 2);
    EXPECT_FALSE(askedAndStored());
}

} // namespace
