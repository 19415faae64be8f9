// The casting screen's file-share entry against the fake file-share server:
// the probe of the receiver's functions on both ports, the file-share code
// (remembered, changed, absent, wrong and right), the alerts one at a time,
// and what each tile opens.

#include "ShareScreenTestSupport.h"

#include "BaseViewController/View/QVBuleCursorTextField.h"
#include "PublicManager/QVNotificationCenter.h"

#include <QTest>

using TestSupport::waitFor;

namespace {

const QString kFunctions = QStringLiteral("api/glimra/fileShare/functions");
const QString kGetVerifyCode = QStringLiteral("api/glimra/fileShare/getVerifyCode");
const QString kUploadPage = QStringLiteral("QVTransferFileViewController");

class ShareScreenFileShareTest : public ShareScreenTest::Fixture
{
protected:
    // Both ports: the first where nothing listens, the second the fake's.
    void firstPortDown() { services.fileSharePorts = {ShareScreenTest::closedPort(address), QString::number(server.port())}; }

    std::optional<QVStorageModel> remembered() const
    {
        return QVPublicTools::sharedPublicTools()->checkStorageModelWithDeviceIP(
            address.toString(), QVPublicTools::ConnectTransferFileCodeKey);
    }

    void remember(const QString &code)
    {
        QVStorageModel record;
        record.setDeviceName(ShareScreenTest::ReceiverName);
        record.setDeviceIP(address.toString());
        record.setTransferFileCode(code);
        QVPublicTools::sharedPublicTools()->saveConnectStorageModel(record, QVPublicTools::ConnectTransferFileCodeKey);
    }

    void clickUpload()
    {
        clock.advance(QVFileTileView::ClickGuardMs);
        screen->transferFileView()->transferFileBtnClick(nullptr);
    }
    void clickDownload()
    {
        clock.advance(QVFileTileView::ClickGuardMs);
        screen->downLoadFileView()->downLoadFileBtnClick(nullptr);
    }

    // Waits until the code request has ended one way or another.
    bool requestEnds()
    {
        return waitFor([&] { return !screen->loadingView()->isVisible(); }, 10000);
    }

    QString liveBaseUrl() const { return QStringLiteral("http://%1:%2").arg(address.toString()).arg(server.port()); }

    QString alertText() const
    {
        QVDefaultAlertController *alert = screen->defaultAlertVC();
        return alert ? alert->contentLabel()->text() : QString();
    }
};

TEST_F(ShareScreenFileShareTest, ProbeAndCodeEndOnTheSecondPortWhenTheFirstIsDown)
{
    firstPortDown();
    server.setVerifyCode(QStringLiteral("ab12"));
    // Time enough to look at the screen while the receiver thinks.
    FakeServers::FaultRule slow;
    slow.fault = FakeServers::Fault::Slow;
    slow.delayMs = 1000;
    slow.times = 1;
    server.setFault(kFunctions, slow);
    ASSERT_TRUE(openScreen(false));
    // Until the receiver has answered, a click opens nothing.
    EXPECT_TRUE(screen->isProbingFileFunctions());
    EXPECT_FALSE(screen->tilesEnabled());
    screen->transferFileView()->transferFileBtnClick(nullptr);
    ASSERT_TRUE(waitFor([&] { return !screen->isProbingFileFunctions(); }, 10000));
    settle();
    EXPECT_TRUE(screen->tilesEnabled());
    EXPECT_EQ(server.requestCount(kFunctions), 1);
    EXPECT_EQ(server.requestCount(kGetVerifyCode), 0);
    EXPECT_TRUE(screen->transferFileView()->supportFunction());
    EXPECT_TRUE(screen->downLoadFileView()->supportFunction());

    clickUpload();
    EXPECT_TRUE(screen->loadingView()->isVisible());
    EXPECT_FALSE(screen->tilesEnabled());
    ASSERT_TRUE(requestEnds());
    QVHaveInputAlertController *alert = screen->inputAlertVC();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->extendStr(), QStringLiteral("0"));
    EXPECT_EQ(alert->maxInputLength(), 4u);
    EXPECT_EQ(alert->titleLabel()->text(), QStringLiteral("alert_transferFile_title"));
    EXPECT_EQ(screen->verifyCode(), QStringLiteral("ab12"));
    EXPECT_FALSE(screen->tilesEnabled());

    // A wrong code keeps the alert up with its error, and stores nothing.
    alert->sureBtnClickBlock()(QStringLiteral("ZZ99"));
    EXPECT_TRUE(alert->errorLabel()->isVisibleTo(alert));
    EXPECT_EQ(screen->inputAlertVC(), alert);
    EXPECT_FALSE(remembered());
    EXPECT_TRUE(manager->fileShareIp().isEmpty());

    // The alert upper-cases what is typed; the receiver's lower-case code
    // still matches.
    alert->codeTextField()->setFocus();
    QTest::keyClicks(alert->codeTextField(), QStringLiteral("ab12"));
    alert->sureBtnClick();
    EXPECT_EQ(manager->fileShareIp(), liveBaseUrl());
    ASSERT_TRUE(remembered());
    EXPECT_EQ(remembered()->transferFileCode(), QStringLiteral("ab12"));
    EXPECT_EQ(remembered()->deviceName(), ShareScreenTest::ReceiverName);
    ASSERT_TRUE(waitFor([&] { return currentPageName() == kUploadPage; }));
    EXPECT_EQ(server.requestCount(kGetVerifyCode), 1);
}

TEST_F(ShareScreenFileShareTest, RememberedCodeOpensDirectlyAndAChangedCodeAsksAgain)
{
    remember(QStringLiteral("AB12"));
    server.setVerifyCode(QStringLiteral("AB12"));
    ASSERT_TRUE(openScreen());
    clickUpload();
    ASSERT_TRUE(waitFor([&] { return currentPageName() == kUploadPage; }));
    EXPECT_FALSE(screen->checkShowingAlert());
    EXPECT_EQ(manager->fileShareIp(), liveBaseUrl());

    // Back on the screen, the receiver has a new code.
    host->showNextPageViewWithClassStr(ShareScreenTest::ScreenName);
    ASSERT_TRUE(waitFor([&] { return currentScreen() == screen.data(); }));
    server.setVerifyCode(QStringLiteral("CD34"));
    QList<QVariantMap> opened;
    QObject context;
    QVNotificationCenter::defaultCenter()->addObserver(&context, QVNotificationName::MainDownLoadFileBtnClick,
                                                       [&](const QVariantMap &userInfo) { opened.append(userInfo); });
    clickDownload();
    ASSERT_TRUE(requestEnds());
    QVHaveInputAlertController *alert = screen->inputAlertVC();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->extendStr(), QStringLiteral("1"));
    alert->sureBtnClickBlock()(QStringLiteral("CD34"));
    settle();
    EXPECT_EQ(remembered()->transferFileCode(), QStringLiteral("CD34"));
    // Replaced, not added: one removal leaves no record of this receiver.
    QVPublicTools::sharedPublicTools()->removeConnectStorageModel(*remembered(), QVPublicTools::ConnectTransferFileCodeKey);
    EXPECT_FALSE(remembered());
    // The download window opens over the screen.
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first().value(QVNotificationName::OpenStatusKey).toString(), QStringLiteral("1"));
    EXPECT_TRUE(screen->hoverBgView()->isVisible());
    EXPECT_FALSE(screen->tilesEnabled());
    EXPECT_FALSE(screen->checkShowingAlert());
    EXPECT_EQ(currentPageName(), ShareScreenTest::ScreenName);
}

TEST_F(ShareScreenFileShareTest, AnswersWithoutACodeOpenAtOnceAndStoreNothing)
{
    ASSERT_TRUE(openScreen());
    // No code at all, the text "null" and blank text all mean none.
    const QList<QJsonValue> noCodes = {QJsonValue(QJsonValue::Null), QJsonValue(QStringLiteral("null")),
                                       QJsonValue(QStringLiteral("  "))};
    for (const QJsonValue &content : noCodes) {
        server.setContentOverride(kGetVerifyCode, content);
        host->showNextPageViewWithClassStr(ShareScreenTest::ScreenName);
        ASSERT_TRUE(waitFor([&] { return currentScreen() == screen.data(); }));
        clickUpload();
        ASSERT_TRUE(waitFor([&] { return currentPageName() == kUploadPage; })) << content.toString().toStdString();
        EXPECT_FALSE(screen->checkShowingAlert());
        EXPECT_FALSE(remembered());
    }

    // A number stands for its digits.
    host->showNextPageViewWithClassStr(ShareScreenTest::ScreenName);
    ASSERT_TRUE(waitFor([&] { return currentScreen() == screen.data(); }));
    server.setContentOverride(kGetVerifyCode, QJsonValue(1234));
    clickUpload();
    ASSERT_TRUE(requestEnds());
    ASSERT_NE(screen->inputAlertVC(), nullptr);
    EXPECT_EQ(screen->verifyCode(), QStringLiteral("1234"));
    screen->inputAlertVC()->cannelBtnClick();
    settle();
    EXPECT_FALSE(screen->checkShowingAlert());
    EXPECT_TRUE(screen->tilesEnabled());

    // Something no one could type is neither a code nor its absence.
    server.setContentOverride(kGetVerifyCode, QJsonObject{{QStringLiteral("code"), QStringLiteral("AB12")}});
    clickUpload();
    ASSERT_TRUE(requestEnds());
    settle();
    EXPECT_FALSE(screen->checkShowingAlert());
    EXPECT_EQ(currentPageName(), ShareScreenTest::ScreenName);
    EXPECT_TRUE(screen->tilesEnabled());
}

TEST_F(ShareScreenFileShareTest, RefusalBusyAndSilenceShowTheirAlertOneAtATime)
{
    ASSERT_TRUE(openScreen());

    server.setShareEnabled(false);
    clickDownload();
    ASSERT_TRUE(requestEnds());
    EXPECT_EQ(alertText(), QStringLiteral("downLoad_allowTransfer_title"));
    EXPECT_FALSE(screen->tilesEnabled());
    // No second alert on top of the first.
    QVDefaultAlertController *first = screen->defaultAlertVC();
    screen->setServerCUPLoadAlertVC();
    screen->setSystemVersionIsLowerAlertVC();
    EXPECT_EQ(screen->defaultAlertVC(), first);
    EXPECT_EQ(alertText(), QStringLiteral("downLoad_allowTransfer_title"));
    first->singleBtnClick();
    settle();
    EXPECT_FALSE(screen->checkShowingAlert());
    EXPECT_TRUE(screen->tilesEnabled());

    server.setShareEnabled(true);
    server.setBusy(true);
    clickUpload();
    ASSERT_TRUE(requestEnds());
    EXPECT_EQ(alertText(), QStringLiteral("alert_shareScreen_CPULoad"));
    screen->defaultAlertVC()->singleBtnClick();
    settle();

    // Any other answer ends the click without a word.
    server.setBusy(false);
    FakeServers::FaultRule other;
    other.fault = FakeServers::Fault::WrongCode;
    other.value = 500;
    server.setFault(kGetVerifyCode, other);
    clickUpload();
    ASSERT_TRUE(requestEnds());
    settle();
    EXPECT_FALSE(screen->checkShowingAlert());
    EXPECT_TRUE(screen->tilesEnabled());
    EXPECT_EQ(currentPageName(), ShareScreenTest::ScreenName);

    // The server goes away: both ports fail.
    server.close();
    clickUpload();
    ASSERT_TRUE(requestEnds());
    EXPECT_EQ(alertText(), QStringLiteral("alert_shareScreen_serverError"));
    EXPECT_TRUE(manager->fileShareIp().isEmpty());
}

TEST_F(ShareScreenFileShareTest, FunctionsDecideWhichTileOpensAnything)
{
    server.setFunctions(false, true);
    fake->broadcast = QStringLiteral("extra");
    ASSERT_TRUE(openScreen());
    EXPECT_FALSE(screen->transferFileView()->supportFunction());
    EXPECT_TRUE(screen->downLoadFileView()->supportFunction());

    clickUpload();
    EXPECT_EQ(alertText(), QStringLiteral("alert_shareScreen_glimraHub_lowVersion"));
    EXPECT_EQ(server.requestCount(kGetVerifyCode), 0);
    screen->defaultAlertVC()->singleBtnClick();
    settle();

    // The receiver's answer outlives the screen's reappearances.
    screen->hide();
    screen->show();
    EXPECT_FALSE(screen->transferFileView()->supportFunction());
}

TEST_F(ShareScreenFileShareTest, RefusedFunctionsTurnOnlyTheDownloadTileOff)
{
    FakeServers::FaultRule refused;
    refused.fault = FakeServers::Fault::WrongCode;
    refused.value = 220;
    server.setFault(kFunctions, refused);
    fake->broadcast = QStringLiteral("extra");
    ASSERT_TRUE(openScreen());
    EXPECT_TRUE(screen->transferFileView()->supportFunction());
    EXPECT_FALSE(screen->downLoadFileView()->supportFunction());
    EXPECT_TRUE(screen->tilesEnabled());
}

TEST_F(ShareScreenFileShareTest, NoAnsweringPortLeavesTheFlagsAndAsksNothing)
{
    services.fileSharePorts = {ShareScreenTest::closedPort(address), ShareScreenTest::closedPort(address)};
    fake->broadcast = QString();
    ASSERT_TRUE(openScreen());
    EXPECT_TRUE(screen->tilesEnabled());
    EXPECT_FALSE(screen->checkShowingAlert());
    EXPECT_FALSE(screen->transferFileView()->supportFunction());
    EXPECT_FALSE(screen->downLoadFileView()->supportFunction());

    // Without an answer, the search reply's extra text stands for uploads.
    fake->broadcast = QStringLiteral("extra");
    screen->hide();
    screen->show();
    EXPECT_TRUE(screen->transferFileView()->supportFunction());
    clickUpload();
    ASSERT_TRUE(requestEnds());
    EXPECT_EQ(alertText(), QStringLiteral("alert_shareScreen_serverError"));
}

TEST_F(ShareScreenFileShareTest, SlowProbeKeepsTheTilesOffUntilItAnswers)
{
    FakeServers::FaultRule slow;
    slow.fault = FakeServers::Fault::Slow;
    slow.delayMs = 1500;
    server.setFault(kFunctions, slow);
    ASSERT_TRUE(openScreen(false));
    settle();
    ASSERT_TRUE(screen->isProbingFileFunctions());
    EXPECT_FALSE(screen->transferFileView()->hoverState());
    EXPECT_DOUBLE_EQ(screen->transferFileView()->opacity(), QVShareScreenViewController::TileDimmedOpacity);
    screen->downLoadFileView()->downLoadFileBtnClick(nullptr);
    settle();
    EXPECT_EQ(server.requestCount(kGetVerifyCode), 0);
    EXPECT_FALSE(screen->checkShowingAlert());
    ASSERT_TRUE(waitFor([&] { return screen->transferFileView()->hoverState(); }, 10000));
    EXPECT_TRUE(screen->tilesEnabled());
    EXPECT_DOUBLE_EQ(screen->transferFileView()->opacity(), 1.0);
    // A cast keeps them off again.
    screen->switchBtn()->click();
    EXPECT_FALSE(screen->tilesEnabled());
}

} // namespace
