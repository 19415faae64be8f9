// The receiver list over a casting library the test plays: the list and
// its empty view, the connect flow through every outcome, the code dialog's
// rule, the remembered codes, and the permission warning.

#include "ReceiverListHarness.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "Categories/RVColor.h"
#include "Main/Model/QVKVOModel.h"
#include "HttpTestSupport.h"
#include "PublicManager/QVNotificationCenter.h"

#include <QTranslator>

using FrameTest::runDeferredDeletes;
using TestSupport::waitFor;

namespace {

const DeviceInformation RoomA(QStringLiteral("10.1.2.3"), QStringLiteral("Room A"));
const DeviceInformation RoomB(QStringLiteral("10.1.2.4"), QStringLiteral("Room B"));

TavlinError wrongCode()
{
    return TavlinError(QVMainViewController::TavlinErrorDomain, 1);
}

TavlinError connectionLost()
{
    // A read time-out of the socket layer: the connection, not the code.
    return TavlinError(QStringLiteral("GCDAsyncSocketErrorDomain"), 4, QStringLiteral("Read operation timed out"));
}

class ReceiverListPageTest : public ::testing::Test, protected ReceiverListHarness
{
protected:
    void SetUp() override
    {
        manager = std::make_unique<QVShareManager>(fakeServices(fake, capture));
        setUpHarness(manager.get());
        if (HasFatalFailure())
            return;
        QVMainViewControllerTimings timings;
        timings.connectWatchdogMs = 300;
        page->setTimings(timings);
        fake->calls.clear();
    }

    void TearDown() override
    {
        tearDownHarness();
        manager.reset();
        runDeferredDeletes();
    }

    TavlinDelegate *library() const { return fake->delegate; }
    QVKVOModel *model() const { return manager->kvoModel(); }

    // Rows for the two rooms, and a connect on the first.
    void connectToRoomA()
    {
        library()->deviceListChanged({RoomA, RoomB});
        ASSERT_EQ(rowCount(), 2);
        row(0)->connectBtn()->click();
    }

    // Up to the code dialog for Room A.
    QVInputViewController *dialogForRoomA()
    {
        connectToRoomA();
        library()->connectDeviceByIpNeedPwd();
        QVInputViewController *dialog = waitForDialog();
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }

    std::shared_ptr<FakeTavlin::Shared> fake = std::make_shared<FakeTavlin::Shared>();
    std::shared_ptr<Platform::Fake::FakeScreenCaptureAccess> capture =
        std::make_shared<Platform::Fake::FakeScreenCaptureAccess>();
    std::unique_ptr<QVShareManager> manager;
};

// Gives the title key a format, as the English texts do.
class TitleTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (QByteArray(context) == "Localizable" && QByteArray(sourceText) == "alert_shareCode_title")
            return QStringLiteral("Code of %1");
        return {};
    }
    bool isEmpty() const override { return false; }
};

} // namespace

TEST_F(ReceiverListPageTest, TheListFollowsTheLibraryAndTheEmptyViewOnlyAnEmptyList)
{
    EXPECT_EQ(QVPublicTools::sharedPublicTools()->vcCacheDictionary().value(QVMainViewController::ClassName), page);
    EXPECT_EQ(rowCount(), 0);
    EXPECT_TRUE(page->noDataView()->isVisible());

    library()->deviceListChanged({RoomA, RoomB});
    ASSERT_EQ(rowCount(), 2);
    EXPECT_FALSE(page->noDataView()->isVisible());
    for (int i = 0; i < 2; ++i) {
        const DeviceInformation expected = i == 0 ? RoomA : RoomB;
        EXPECT_EQ(row(i)->deviceName()->text(), expected.deviceName());
        EXPECT_EQ(row(i)->deviceIP()->text(), expected.deviceIP());
        EXPECT_EQ(row(i)->height(), QVMainListCellView::RowHeight);
        EXPECT_EQ(row(i)->connectBtn()->text(), QStringLiteral("main_listCell_connect"));
        // White on the blue card, whatever role the list gives its rows.
        for (QLabel *label : {row(i)->deviceName(), row(i)->deviceIP()}) {
            const QColor drawn = label->palette().color(label->foregroundRole());
            EXPECT_EQ(drawn.rgb(), QColor(Qt::white).rgb()) << label->objectName().toStdString();
        }
        EXPECT_EQ(row(i)->bgView()->backgroundColor(), rv_colorWithHexString(QStringLiteral("0x7297F4")));
    }

    // Refresh only draws the list again.
    page->refreshBtn()->click();
    EXPECT_EQ(rowCount(), 2);
    EXPECT_TRUE(fake->calls.isEmpty()) << fake->calls.join(", ").toStdString();

    // A lost network empties the list.
    library()->networkUnreachable();
    EXPECT_EQ(rowCount(), 0);
    EXPECT_TRUE(page->noDataView()->isVisible());
}

TEST_F(ReceiverListPageTest, ReceiverTextsAreShownAsTheyAreNeverAsMarkup)
{
    TitleTranslator translator;
    QCoreApplication::installTranslator(&translator);
    const QString name = QStringLiteral("<b>Room</b><img src=\"/etc/passwd\">");
    const DeviceInformation hostile(QStringLiteral("10.1.2.9"), name);
    library()->deviceListChanged({hostile});
    ASSERT_EQ(rowCount(), 1);
    EXPECT_EQ(row(0)->deviceName()->textFormat(), Qt::PlainText);
    EXPECT_EQ(row(0)->deviceIP()->textFormat(), Qt::PlainText);
    EXPECT_TRUE(name.startsWith(row(0)->deviceName()->text().chopped(1)));

    row(0)->connectBtn()->click();
    library()->connectDeviceByIpNeedPwd();
    QVInputViewController *dialog = waitForDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->titleLabel()->text(), QStringLiteral("Code of ") + name);
    EXPECT_EQ(dialog->titleLabel()->textFormat(), Qt::PlainText);
    QCoreApplication::removeTranslator(&translator);
}

TEST_F(ReceiverListPageTest, AReceiverWithoutACodeLeadsStraightToTheCastingScreen)
{
    connectToRoomA();
    EXPECT_EQ(fake->calls, QStringList{"connectDeviceByIp 10.1.2.3"});
    EXPECT_TRUE(page->isLoading());
    EXPECT_TRUE(page->loadingView()->isBlockingEvents());

    library()->connectDeviceSuccess(ServerInfo{RoomA.deviceName(), RoomA.deviceIP()});
    EXPECT_FALSE(page->isLoading());
    ASSERT_TRUE(waitFor([this] { return currentPageName() == QVMainViewController::ShareScreenClassName; }));
    EXPECT_EQ(manager->connectDeviceModel(), RoomA);
    EXPECT_TRUE(manager->connectStatus());
    EXPECT_EQ(page->alertVC(), nullptr);
    EXPECT_FALSE(remembered(RoomA.deviceIP()));
    // The list stays in the cache for the way back.
    EXPECT_TRUE(QVPublicTools::sharedPublicTools()->vcCacheDictionary().holds(page));
}

TEST_F(ReceiverListPageTest, TheWaitAlwaysEnds)
{
    // Refused at once: no outcome will ever come.
    fake->connectAnswer = false;
    connectToRoomA();
    EXPECT_FALSE(page->isLoading());
    EXPECT_EQ(model()->connectDeviceStatus(), 4);
    EXPECT_TRUE(waitForBanner(QStringLiteral("main_connection_failed")));
    takeBanners();

    // Started, but the library never tells: the wait has a bound.
    fake->connectAnswer = true;
    row(1)->connectBtn()->click();
    EXPECT_TRUE(page->isLoading());
    ASSERT_TRUE(waitFor([this] { return !page->isLoading(); }));
    EXPECT_TRUE(waitForBanner(QStringLiteral("main_connection_failed")));
    EXPECT_EQ(currentPageName(), QVMainViewController::ClassName);

    // A failure reported by the library ends it as well.
    row(1)->connectBtn()->click();
    EXPECT_TRUE(page->isLoading());
    library()->connectDeviceWithError(connectionLost());
    EXPECT_FALSE(page->isLoading());
    EXPECT_EQ(model()->connectDeviceStatus(), 4);
}

TEST_F(ReceiverListPageTest, WhatAConnectSaysAfterItsWatchdogChangesNothing)
{
    // The user was told the connect failed; the library then reports it
    // after all, in each of its ways.
    auto giveUp = [this] {
        EXPECT_TRUE(page->isLoading());
        ASSERT_TRUE(waitFor([this] { return !page->isLoading(); }));
        ASSERT_TRUE(waitForBanner(QStringLiteral("main_connection_failed")));
        takeBanners();
        fake->calls.clear();
    };
    remember(RoomA.deviceName(), RoomA.deviceIP(), QStringLiteral("482913"));
    connectToRoomA();
    giveUp();
    if (HasFatalFailure())
        return;

    // A late success: not the casting screen, and the session is ended
    // again without a word to the user.
    library()->connectDeviceSuccess(ServerInfo{RoomA.deviceName(), RoomA.deviceIP()});
    ASSERT_TRUE(waitFor([this] { return fake->calls.contains(QStringLiteral("disconnectWithDevice")); }));
    library()->deviceDidDisconnectWithError(std::nullopt);
    TestSupport::runPostedEvents();
    TestSupport::spin(50); // for a page change that must not come
    EXPECT_EQ(currentPageName(), QVMainViewController::ClassName);
    EXPECT_EQ(fake->calls, QStringList{"disconnectWithDevice"});
    EXPECT_FALSE(manager->connectStatus());
    EXPECT_EQ(model()->disconnectDeviceType(), 4);

    // A late code request: no dialog. A late failure: neither a tip nor a
    // forgotten code.
    row(0)->connectBtn()->click();
    giveUp();
    if (HasFatalFailure())
        return;
    library()->connectDeviceByIpNeedPwd();
    library()->connectDeviceWithError(wrongCode());
    TestSupport::runPostedEvents();
    TestSupport::spin(50); // for a dialog, a banner or a forgetting that must not come
    EXPECT_EQ(page->alertVC(), nullptr);
    EXPECT_TRUE(takeBanners().isEmpty());
    EXPECT_EQ(model()->connectDeviceStatus(), 4);
    EXPECT_TRUE(remembered(RoomA.deviceIP()));
    EXPECT_TRUE(fake->calls.isEmpty());

    // The next connect is heard again.
    row(0)->connectBtn()->click();
    library()->connectDeviceSuccess(ServerInfo{RoomA.deviceName(), RoomA.deviceIP()});
    EXPECT_FALSE(page->isLoading());
    ASSERT_TRUE(waitFor([this] { return currentPageName() == QVMainViewController::ShareScreenClassName; }));
    EXPECT_FALSE(fake->calls.contains(QStringLiteral("disconnectWithDevice")));
}

TEST_F(ReceiverListPageTest, AReceiversNameIsLoggedEscaped)
{
    HttpTest::ProgramLogCapture log;
    const DeviceInformation hostile(QStringLiteral("10.1.2.9"),
                                    QStringLiteral("Room\n2024-01-01 00:00:00 000 | INFO | x\u202e"));
    library()->deviceListChanged({hostile});
    row(0)->connectBtn()->click();
    EXPECT_EQ(log.countContaining(QStringLiteral("QVMainViewController connect deviceName = "
                                                 "Room\\n2024-01-01 00:00:00 000 | INFO | x\\u202e, ip = 10.1.2.9")),
              1)
        << log.all().toStdString();
    // The name starts no line of its own.
    for (const HttpTest::ProgramLogCapture::Entry &entry : log.entries())
        EXPECT_FALSE(entry.message.startsWith(QLatin1Char('x'))) << entry.message.toStdString();
}

TEST_F(ReceiverListPageTest, TheCodeDialogOpensWithTheRememberedCodeAndSendsItOnReturn)
{
    remember(RoomA.deviceName(), RoomA.deviceIP(), QStringLiteral("abcdefgh"));
    QVInputViewController *dialog = dialogForRoomA();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(page->isLoading());
    EXPECT_EQ(dialog->model(), RoomA);
    EXPECT_EQ(dialog->titleLabel()->text(), QStringLiteral("alert_shareCode_title"));
    EXPECT_EQ(dialog->codeTextField()->text(), QStringLiteral("ABCDEFGH"));
    EXPECT_TRUE(dialog->sureBtn()->isEnabled());
    EXPECT_TRUE(dialog->codeTextField()->hasFocus());

    fake->calls.clear();
    pressReturn(dialog);
    EXPECT_EQ(fake->calls, QStringList{"connectDeviceByIpCheckPwd ABCDEFGH"});
    ASSERT_TRUE(remembered(RoomA.deviceIP()));
    EXPECT_EQ(remembered(RoomA.deviceIP())->screenCastingCode(), QStringLiteral("ABCDEFGH"));
    EXPECT_EQ(remembered(RoomA.deviceIP())->deviceName(), RoomA.deviceName());
    EXPECT_EQ(manager->connectDeviceModel(), RoomA);
    // Sending does not connect: the dialog waits for the receiver's answer.
    EXPECT_FALSE(manager->connectStatus());
    EXPECT_EQ(page->alertVC(), dialog);

    library()->connectDeviceSuccess(ServerInfo{RoomA.deviceName(), RoomA.deviceIP()});
    ASSERT_TRUE(waitFor([this] { return currentPageName() == QVMainViewController::ShareScreenClassName; }));
    EXPECT_EQ(page->alertVC(), nullptr);
    EXPECT_TRUE(manager->connectStatus());
}

TEST_F(ReceiverListPageTest, AWrongCodeIsForgottenAndTheDialogStaysForTheNextTry)
{
    QVInputViewController *dialog = dialogForRoomA();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->sureBtn()->isEnabled());
    typeCode(dialog, QStringLiteral("654321"));
    dialog->sureBtn()->click();
    ASSERT_TRUE(remembered(RoomA.deviceIP()));

    takeBanners();
    library()->connectDeviceWithError(wrongCode());
    EXPECT_EQ(model()->connectDeviceStatus(), 3);
    EXPECT_TRUE(waitForBanner(QStringLiteral("main_enter_correct_code")));
    EXPECT_FALSE(remembered(RoomA.deviceIP()));
    EXPECT_EQ(page->alertVC(), dialog);
    EXPECT_TRUE(dialog->isVisible());

    // The same wrong code again is told again.
    takeBanners();
    fake->calls.clear();
    pressReturn(dialog);
    library()->connectDeviceWithError(wrongCode());
    EXPECT_TRUE(waitForBanner(QStringLiteral("main_enter_correct_code")));
    // The connection the receiver keeps open carries the next code.
    EXPECT_EQ(fake->calls, QStringList{"connectDeviceByIpCheckPwd 654321"});

    typeCode(dialog, QStringLiteral("123456"));
    pressReturn(dialog);
    library()->connectDeviceSuccess(ServerInfo{RoomA.deviceName(), RoomA.deviceIP()});
    ASSERT_TRUE(waitFor([this] { return currentPageName() == QVMainViewController::ShareScreenClassName; }));
    EXPECT_EQ(remembered(RoomA.deviceIP())->screenCastingCode(), QStringLiteral("123456"));
}

TEST_F(ReceiverListPageTest, ACodeOfTheWrongShapeIsNeverSentAndForgotten)
{
    remember(RoomA.deviceName(), RoomA.deviceIP(), QStringLiteral("1234"));
    QVInputViewController *dialog = dialogForRoomA();
    ASSERT_NE(dialog, nullptr);
    fake->checkPwdAnswer = false;
    typeCode(dialog, QStringLiteral("12345"));
    pressReturn(dialog);
    EXPECT_EQ(model()->connectDeviceStatus(), 3);
    EXPECT_TRUE(waitForBanner(QStringLiteral("main_enter_correct_code")));
    EXPECT_FALSE(remembered(RoomA.deviceIP()));
    EXPECT_FALSE(page->isLoading());
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ReceiverListPageTest, ALostConnectionKeepsTheCodeAndTheNextTryConnectsAgain)
{
    QVInputViewController *dialog = dialogForRoomA();
    ASSERT_NE(dialog, nullptr);
    typeCode(dialog, QStringLiteral("123456"));
    pressReturn(dialog);

    // The connection went while the code was checked: nothing says the
    // code was wrong.
    takeBanners();
    library()->connectDeviceWithError(connectionLost());
    EXPECT_EQ(model()->connectDeviceStatus(), 4);
    EXPECT_TRUE(waitForBanner(QStringLiteral("main_connection_failed")));
    ASSERT_TRUE(remembered(RoomA.deviceIP()));
    EXPECT_EQ(remembered(RoomA.deviceIP())->screenCastingCode(), QStringLiteral("123456"));
    EXPECT_TRUE(dialog->isVisible());

    // The next try opens a new connection first, and the code goes out when
    // the receiver asks for it there.
    fake->calls.clear();
    pressReturn(dialog);
    EXPECT_EQ(fake->calls, QStringList{"connectDeviceByIp 10.1.2.3"});
    EXPECT_TRUE(page->isLoading());
    library()->connectDeviceByIpNeedPwd();
    EXPECT_FALSE(page->isLoading());
    EXPECT_EQ(fake->calls, (QStringList{"connectDeviceByIp 10.1.2.3", "connectDeviceByIpCheckPwd 123456"}));
    EXPECT_EQ(page->alertVC(), dialog);

    // Code 1 outside the library's domain is no verdict on the code either.
    library()->connectDeviceWithError(TavlinError(QStringLiteral("NSPOSIXErrorDomain"), 1));
    EXPECT_EQ(model()->connectDeviceStatus(), 4);
    EXPECT_TRUE(remembered(RoomA.deviceIP()));

    // Cancelling while the new connection comes up leaves no code waiting:
    // the receiver's question opens a fresh dialog.
    pressReturn(dialog);
    dialog->cannelBtn()->click();
    runDeferredDeletes();
    EXPECT_EQ(page->alertVC(), nullptr);
    fake->calls.clear();
    library()->connectDeviceByIpNeedPwd();
    QVInputViewController *fresh = waitForDialog();
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(fake->calls.isEmpty()) << fake->calls.join(", ").toStdString();
    EXPECT_EQ(fresh->codeTextField()->text(), QStringLiteral("123456"));
}

TEST_F(ReceiverListPageTest, CancelOnlyRemovesTheDialog)
{
    QPointer<QVInputViewController> dialog = dialogForRoomA();
    ASSERT_FALSE(dialog.isNull());
    fake->calls.clear();
    takeBanners();
    dialog->cannelBtn()->click();
    EXPECT_EQ(page->alertVC(), nullptr);
    // Its own button asked: it goes once that click is over.
    EXPECT_FALSE(dialog.isNull());
    runDeferredDeletes();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_TRUE(fake->calls.isEmpty());
    TestSupport::spin(20); // for a banner or a page that must not come
    EXPECT_TRUE(takeBanners().isEmpty());
    EXPECT_EQ(currentPageName(), QVMainViewController::ClassName);
}

TEST(CodeInputRuleTest, UpperCasedAndCutAtEightUnitsOfCount)
{
    const struct {
        QString typed;
        QString kept;
    } cases[] = {
        {QStringLiteral("abcdefghij"), QStringLiteral("ABCDEFGH")},
        {QStringLiteral("12345678"), QStringLiteral("12345678")},
        {QStringLiteral("123456789"), QStringLiteral("12345678")},
        // Characters of three UTF-8 bytes count two.
        {QString::fromUtf8("中文字符号"), QString::fromUtf8("中文字符")},
        {QString::fromUtf8("ab中cd文e"), QString::fromUtf8("AB中CD文")},
        {QString::fromUtf8("abcdefg中"), QStringLiteral("ABCDEFG")},
        // Two-byte characters count one.
        {QString::fromUtf8("éééééééééé"), QString::fromUtf8("ÉÉÉÉÉÉÉÉ")},
        // A character beyond the basic plane is two units of one each and
        // is never cut in half.
        {QString::fromUtf8("😀😀😀😀😀"), QString::fromUtf8("😀😀😀😀")},
        {QString::fromUtf8("abcdefg😀"), QStringLiteral("ABCDEFG")},
        // Upper-casing may lengthen the text before it is cut.
        {QString::fromUtf8("ßßßßß"), QStringLiteral("SSSSSSSS")},
        {QString(), QString()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(QVInputViewController::limitedCode(c.typed), c.kept) << c.typed.toStdString();
}

TEST_F(ReceiverListPageTest, TheDialogKeepsTheRuleAsTheUserTypes)
{
    QVInputViewController *dialog = dialogForRoomA();
    ASSERT_NE(dialog, nullptr);
    QVBuleCursorTextField *field = dialog->codeTextField();
    EXPECT_EQ(field->text(), QString());
    EXPECT_FALSE(dialog->sureBtn()->isEnabled());

    QList<QString> sent;
    dialog->setSureBtnClickBlock([&](const DeviceInformation &, const QString &code) { sent.append(code); });

    // Return on an empty field does nothing.
    pressReturn(dialog);
    EXPECT_TRUE(sent.isEmpty());

    QTest::keyClicks(field, QStringLiteral("abcdefghij"));
    EXPECT_EQ(field->text(), QStringLiteral("ABCDEFGH"));
    EXPECT_TRUE(dialog->sureBtn()->isEnabled());

    // Emptied by select-all and delete: sure is off again.
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_FALSE(dialog->sureBtn()->isEnabled());

    // A paste goes through the same rule, the insertion point stays after
    // what was kept.
    field->insert(QString::fromUtf8("中文字符号"));
    dialog->controlTextDidChange();
    EXPECT_EQ(field->text(), QString::fromUtf8("中文字符"));
    EXPECT_EQ(field->cursorPosition(), 4);

    pressReturn(dialog);
    EXPECT_EQ(sent, QList<QString>{QString::fromUtf8("中文字符")});
}

TEST_F(ReceiverListPageTest, TheSettingsButtonOpensTheSettingsAndRunsTheVersionCheck)
{
    int checks = 0;
    QVMainViewController *checked = nullptr;
    QVMainViewController::setVersionCheck([&](QVMainViewController &checkedPage) {
        ++checks;
        checked = &checkedPage;
    });
    QList<QVariantMap> posted;
    QObject observer;
    QVNotificationCenter::defaultCenter()->addObserver(
        &observer, QVNotificationName::MainSettingBtnClick, [&](const QVariantMap &userInfo) {
            posted.append(userInfo);
            // The window opens before the check runs again.
            EXPECT_EQ(checks, 0);
        });

    page->settingBtn()->click();
    ASSERT_EQ(posted.size(), 1);
    EXPECT_EQ(posted.first().value(QVNotificationName::OpenStatusKey).toString(), QStringLiteral("1"));
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(checked, page);

    // A new page runs the check as it loads.
    QVMainViewController fresh;
    EXPECT_TRUE(waitFor([&] { return checks == 2; }));
    EXPECT_EQ(checked, &fresh);
    QVMainViewController::setVersionCheck(nullptr);
}

TEST_F(ReceiverListPageTest, OnlyAJumpFromThisPageShowsTheDownloadPageHere)
{
    QVNotificationCenter::defaultCenter()->postNotificationName(
        QVNotificationName::MainDownLoadFileList_Jump, {{QVNotificationName::JumpFromKey, QStringLiteral("share")}});
    TestSupport::spin(20); // for a page change that must not come
    EXPECT_EQ(currentPageName(), QVMainViewController::ClassName);

    QVNotificationCenter::defaultCenter()->postNotificationName(
        QVNotificationName::MainDownLoadFileList_Jump, {{QVNotificationName::JumpFromKey, QStringLiteral("main")}});
    EXPECT_TRUE(waitFor([this] { return currentPageName() == QVMainViewController::DownLoadFileClassName; }));
}

TEST_F(ReceiverListPageTest, ThePermissionWarningWaitsForTheSecondAppearanceAndGoesWhenClosed)
{
    const auto appear = [this] {
        page->hide();
        page->show();
        // What the appearance queued (the warning) runs.
        TestSupport::runPostedEvents();
    };
    capture->allowed = false;
    store()->remove(QVMainViewController::AppFirstUsedKey);

    // The very first appearance only notes the first start.
    appear();
    EXPECT_EQ(store()->value(QVMainViewController::AppFirstUsedKey).toString(), QStringLiteral("1"));
    EXPECT_EQ(page->permissionPromptVC(), nullptr);

    appear();
    QPointer<QVPermissionPromptVC> prompt = page->permissionPromptVC();
    ASSERT_FALSE(prompt.isNull());
    EXPECT_TRUE(prompt->isVisible());
    EXPECT_EQ(prompt->titleLabel()->text(), QStringLiteral("permissionPrompt_tips_title"));
    EXPECT_EQ(prompt->describeLabel()->text(), QStringLiteral("permissionPrompt_tips_describe"));
    // There are no privacy settings to open on this desktop.
    EXPECT_FALSE(prompt->toSettingBtn()->isVisible());
    // Another appearance while it is up does not stack a second one.
    appear();
    EXPECT_EQ(page->permissionPromptVC(), prompt.data());
    EXPECT_EQ(page->findChildren<QVPermissionPromptVC *>().size(), 1);

    prompt->closedBtn()->click();
    EXPECT_EQ(page->permissionPromptVC(), nullptr);
    runDeferredDeletes();
    EXPECT_TRUE(prompt.isNull());

    // The next warning is a new one; with the screen capturable there is none.
    appear();
    EXPECT_NE(page->permissionPromptVC(), nullptr);
    page->permissionPromptVC()->closedBtn()->click();
    capture->allowed = true;
    appear();
    EXPECT_EQ(page->permissionPromptVC(), nullptr);
}
