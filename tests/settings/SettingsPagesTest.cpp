// The settings window's pages: the list opens its pages in the window and the
// reused ones come back in a new window; the download-folder row waits for
// its page; the about row and page show a newer version only; five quick
// clicks show the build line; the remote-control row keeps the user's
// consent; the receiver list runs the version check.

#include "SettingsTestSupport.h"

#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "BaseViewController/View/QVUnderlinedView.h"
#include "Main/App/AppDelegate.h"
#include "Main/ViewController/Main/QVInputViewController.h"
#include "Main/ViewController/Main/QVMainViewController.h"
#include "Main/ViewController/PermissionPrompt/QVPermissionPromptVC.h"
#include "Main/ViewController/Root/QVPageHost.h"
#include "Main/ViewController/Root/QVRootViewController.h"
#include "Main/ViewController/Root/QVWindow.h"
#include "Main/ViewController/Root/QVWindowControllers.h"
#include "Main/ViewController/Setting/QVAboutViewController.h"
#include "Main/ViewController/Setting/QVFeedbackViewController.h"
#include "Main/ViewController/Setting/QVForceUpgradeVC.h"
#include "Main/ViewController/Setting/QVNewVersionInfoModel.h"
#include "Main/ViewController/Setting/QVSettingSwitch.h"
#include "Main/ViewController/Setting/QVSettingViewController.h"
#include "Main/ViewController/Setting/QVVersionCheck.h"
#include "PublicManager/QVNotificationCenter.h"
#include "PublicManager/QVPageRegistry.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QTranslator>

using SettingsTest::runDeferredDeletes;
using TestSupport::spin;
using TestSupport::waitFor;
namespace Name = QVNotificationName;

namespace {

QVariant offerOf(const QString &buildNumber)
{
    QVNewVersionInfoModel model;
    model.buildNumber = buildNumber;
    return model.toVariant();
}

// Texts for one key, as a translation file would give them.
class OneTextTranslator : public QTranslator
{
public:
    OneTextTranslator(const char *key, QString text) : m_key(key), m_text(std::move(text)) {}
    bool isEmpty() const override { return false; }
    QString translate(const char *, const char *sourceText, const char *, int) const override
    {
        return qstrcmp(sourceText, m_key) == 0 ? m_text : QString();
    }

private:
    const char *m_key;
    QString m_text;
};

class SettingsPagesTest : public SettingsTest::Fixture
{
protected:
    void SetUp() override
    {
        SettingsTest::Fixture::SetUp();
        AppDelegateServices services;
        services.trayAvailable = [] { return false; };
        services.setUpLogging = [] {};
        services.shareManager = [this] { return manager.get(); };
        services.quit = [] {};
        delegate = std::make_unique<AppDelegate>(services);
        delegate->applicationDidFinishLaunching();
    }
    void TearDown() override
    {
        delegate.reset();
        runDeferredDeletes();
        SettingsTest::Fixture::TearDown();
    }

    // Only the test writes the offer from here on: the version checks the
    // program runs by itself (at the receiver list's load, on its settings
    // button) get answers that change nothing, and the one already under
    // way has ended.
    void onlyTheTestWritesOffers()
    {
        server.setFault(FakeServers::FakeWebService::kCheckPath,
                        SettingsTest::fault(FakeServers::Fault::WrongCode, 0, 1002));
        ASSERT_TRUE(waitFor([&] { return server.openConnections() == 0; }));
    }

    void openSettings()
    {
        QVNotificationCenter::defaultCenter()->postNotificationName(Name::MainSettingBtnClick,
                                                                    {{Name::OpenStatusKey, QStringLiteral("1")}});
        ASSERT_NE(delegate->existingSettingWindowController(), nullptr);
    }
    void closeSettings()
    {
        delegate->existingSettingWindowController()->window()->closeClick();
        runDeferredDeletes();
        ASSERT_EQ(delegate->existingSettingWindowController(), nullptr);
    }
    QVPageHost *host() const { return delegate->existingSettingWindowController()->pageHost(); }
    QWidget *current() const { return host()->currentViewController(); }
    QVSettingViewController *list() const { return qobject_cast<QVSettingViewController *>(current()); }

    // A click on the middle of a row, as the user makes it.
    void clickRow(int row)
    {
        QVSettingViewController *page = list();
        ASSERT_NE(page, nullptr);
        QVSettingListCellView *cell = page->cells().value(row);
        ASSERT_NE(cell, nullptr);
        QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(60, cell->height() / 2));
    }

    std::unique_ptr<AppDelegate> delegate;
};

} // namespace

TEST_F(SettingsPagesTest, TheListOpensItsPagesAndTheReusedOnesComeBackInANewWindow)
{
    openSettings();
    QPointer<QVSettingViewController> settingList = list();
    ASSERT_NE(settingList, nullptr);
    EXPECT_EQ(settingList->titleLabel()->text(), QStringLiteral("setting_title"));
    EXPECT_EQ(settingList->itemArray(), (QStringList{"downLoad_filePath_setting", "feedBack_title", "about_title",
                                                      "setting_remoteControl_title"}));
    ASSERT_EQ(settingList->cells().size(), 4);
    for (QVSettingListCellView *cell : settingList->cells())
        EXPECT_EQ(cell->height(), QVSettingListCellView::RowHeight);
    EXPECT_EQ(settingList->size(), host()->bgView()->size());

    clickRow(QVSettingViewController::FeedbackRow);
    QPointer<QVFeedbackViewController> feedback = qobject_cast<QVFeedbackViewController *>(current());
    ASSERT_NE(feedback, nullptr);
    EXPECT_EQ(feedback->titleLabel()->text(), QStringLiteral("feedBack_title"));
    QTest::mouseClick(feedback->backBtn(), Qt::LeftButton);
    EXPECT_EQ(current(), settingList.data());
    runDeferredDeletes();
    // Feedback is made anew for each visit.
    EXPECT_TRUE(feedback.isNull());

    clickRow(QVSettingViewController::AboutRow);
    QPointer<QVAboutViewController> about = qobject_cast<QVAboutViewController *>(current());
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->titleLabel()->text(), QStringLiteral("about_title"));
    EXPECT_EQ(about->versionLabel()->text(), QStringLiteral("app_name v%1").arg(QVPublicTools::appVersion()));
    QTest::mouseClick(about->backBtn(), Qt::LeftButton);
    EXPECT_EQ(current(), settingList.data());

    // A new settings window shows the same list and the same about page.
    closeSettings();
    ASSERT_FALSE(settingList.isNull());
    ASSERT_FALSE(about.isNull());
    openSettings();
    EXPECT_EQ(current(), settingList.data());
    EXPECT_EQ(settingList->window(), delegate->existingSettingWindowController()->window());
    clickRow(QVSettingViewController::AboutRow);
    EXPECT_EQ(current(), about.data());
    about->backBtnClick();
    clickRow(QVSettingViewController::FeedbackRow);
    QPointer<QWidget> secondFeedback = current();
    ASSERT_TRUE(qobject_cast<QVFeedbackViewController *>(secondFeedback));

    // Closing the window on the feedback page lets that page go with it.
    closeSettings();
    runDeferredDeletes();
    EXPECT_TRUE(secondFeedback.isNull());
    EXPECT_FALSE(settingList.isNull());
}

TEST_F(SettingsPagesTest, TheDownloadFolderRowWaitsForItsPage)
{
    openSettings();
    QVSettingViewController *settingList = list();
    ASSERT_NE(settingList, nullptr);
    if (!QVPageRegistry::shared().contains(QVSettingViewController::DownLoadFilePathPage)) {
        clickRow(QVSettingViewController::DownLoadFilePathRow);
        EXPECT_EQ(current(), settingList);
        EXPECT_TRUE(settingList->isVisible());
    }

    QVPageRegistry::Override folderPage(QVSettingViewController::DownLoadFilePathPage, [] {
        auto *page = new QWidget;
        page->setObjectName(QStringLiteral("folderPage"));
        return page;
    });
    clickRow(QVSettingViewController::DownLoadFilePathRow);
    ASSERT_NE(current(), nullptr);
    EXPECT_EQ(current()->objectName(), QStringLiteral("folderPage"));
}

TEST_F(SettingsPagesTest, TheAboutRowAndPageShowOnlyANewerVersion)
{
    onlyTheTestWritesOffers();
    openSettings();
    QVSettingViewController *settingList = list();
    QLabel *aboutHint = settingList->cells().at(QVSettingViewController::AboutRow)->describeLabel();
    EXPECT_TRUE(aboutHint->text().isEmpty());

    clickRow(QVSettingViewController::AboutRow);
    auto *about = qobject_cast<QVAboutViewController *>(current());
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->toUpdateBgViewHeight(), 0);
    EXPECT_EQ(about->toUpdateBtn(), nullptr);

    // Both pages take a new offer on their next turn of the event loop.
    const auto newerShown = [&] {
        return aboutHint->text() == QStringLiteral("about_newVersion") && about->toUpdateBtn() != nullptr;
    };
    const auto noneShown = [&] { return aboutHint->text().isEmpty() && about->toUpdateBtn() == nullptr; };
    model()->setVersionInfoModel(offerOf(QStringLiteral("999.1")));
    ASSERT_TRUE(waitFor(newerShown));
    EXPECT_EQ(about->toUpdateBgViewHeight(), QVAboutViewController::LineHeight);
    EXPECT_TRUE(about->toUpdateBtn()->isVisibleTo(about));

    // The link opens the maker's download page in the user's language.
    QTest::mouseClick(about->toUpdateBtn(), Qt::LeftButton);
    ASSERT_EQ(browser.urls.size(), 1);
    EXPECT_EQ(browser.urls.first(), QVDownloadPage::url());
    EXPECT_TRUE(browser.urls.first().toString().startsWith(server.baseUrl()));

    for (const QVariant &notNewer : {offerOf(QVPublicTools::appVersion()), offerOf(QStringLiteral("0.9")),
                                     offerOf(QString()), QVariant(), QVariant(QStringLiteral("999"))}) {
        model()->setVersionInfoModel(offerOf(QStringLiteral("999.1")));
        ASSERT_TRUE(waitFor(newerShown));
        model()->setVersionInfoModel(notNewer);
        ASSERT_TRUE(waitFor(noneShown));
        runDeferredDeletes();
        EXPECT_TRUE(aboutHint->text().isEmpty());
        EXPECT_EQ(about->toUpdateBgViewHeight(), 0);
        EXPECT_EQ(about->toUpdateBtn(), nullptr);
        EXPECT_TRUE(about->toUpdateBgView()->findChildren<QVUnderlinedView *>().isEmpty());
    }
}

TEST_F(SettingsPagesTest, ANewVersionTextOfThreeLinesTakesThreeRows)
{
    OneTextTranslator texts("about_checkNewVersion_officialWebsite_describe",
                            QStringLiteral("First line\nSecond line\nThird line"));
    QCoreApplication::installTranslator(&texts);
    model()->setVersionInfoModel(offerOf(QStringLiteral("999.1")));
    QVAboutViewController about;
    about.resize(375, 640);
    EXPECT_EQ(about.toUpdateBgViewHeight(), 63);
    EXPECT_EQ(about.toUpdateBgView()->height(), 63);
    const auto lines = about.toUpdateBgView()->findChildren<QVUnderlinedView *>();
    ASSERT_EQ(lines.size(), 3);
    QStringList order;
    for (int k = 0; k < 3; ++k) {
        QVUnderlinedView *line = about.toUpdateBgView()->findChild<QVUnderlinedView *>(QStringLiteral("underlinedView%1").arg(k));
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->geometry(), QRect(0, k * 21, 275, 21));
        order << line->textLabel()->text();
    }
    EXPECT_EQ(order, (QStringList{"First line", "Second line", "Third line"}));
    ASSERT_NE(about.toUpdateBtn(), nullptr);
    EXPECT_EQ(about.toUpdateBtn()->geometry(), QRect(0, 0, 275, 63));
    QCoreApplication::removeTranslator(&texts);
}

TEST_F(SettingsPagesTest, FiveQuickClicksShowTheBuildLineAndFiveMoreHideIt)
{
    QVAboutViewController about;
    about.resize(375, 640);
    about.show();
    QLabel *build = about.hideLabel();
    EXPECT_EQ(build->text(), QStringLiteral("build:%1").arg(QVPublicTools::appBuild()));
    const auto clicks = [&](int count) {
        for (int i = 0; i < count; ++i)
            QTest::mouseClick(about.hideBtn(), Qt::LeftButton);
    };

    clicks(5);
    EXPECT_TRUE(build->isVisible());
    EXPECT_EQ(about.clickCounter(), 0);
    clicks(5);
    EXPECT_FALSE(build->isVisible());

    // Four clicks, then the window closes: one more click counts as a first.
    const auto windowClosed = [&] { return about.clickCounter() == 0; };
    clicks(4);
    ASSERT_TRUE(waitFor(windowClosed));
    clicks(1);
    EXPECT_FALSE(build->isVisible());
    EXPECT_EQ(about.clickCounter(), 1);

    // The window counts from the first click of a series: a later click
    // leaves its end where it was.
    ASSERT_TRUE(waitFor(windowClosed));
    clicks(3);
    const auto runningTimers = [&] {
        QList<QTimer *> running = about.findChildren<QTimer *>();
        running.removeIf([](const QTimer *timer) { return !timer->isActive(); });
        return running;
    };
    ASSERT_EQ(runningTimers().size(), 1);
    const QPointer<QTimer> window = runningTimers().first();
    const int leftAtFirst = window->remainingTime();
    QElapsedTimer pause;
    pause.start();
    spin(QVSettingTimings::current().aboutClickWindowMs / 2); // a pause, nothing awaited
    const qint64 paused = pause.elapsed();
    clicks(1);
    // (A machine stalled past the window has closed it already.)
    if (about.clickCounter() == 4) {
        ASSERT_FALSE(window.isNull());
        EXPECT_EQ(runningTimers(), QList<QTimer *>{window.data()});
        EXPECT_LE(window->remainingTime(), leftAtFirst - paused + 2);
    }
    ASSERT_TRUE(waitFor(windowClosed));
    clicks(1);
    EXPECT_FALSE(build->isVisible());
    EXPECT_EQ(about.clickCounter(), 1);
}

// The fourth row keeps the answer the casting library reads before it
// injects a receiver's input: the switch and a click anywhere on the row
// change it at once, and an answer given elsewhere (the question before a
// first cast) shows the next time the list appears.
TEST_F(SettingsPagesTest, TheRemoteControlRowChangesTheConsentTheLibraryReads)
{
    Platform::Fake::FakeRemoteInputConsent &consent = *SettingsTest::platformFakes().remoteInputConsent;
    onlyTheTestWritesOffers();
    openSettings();
    QVSettingViewController *settingList = list();
    ASSERT_NE(settingList, nullptr);
    QVSettingListCellView *row = settingList->cells().value(QVSettingViewController::RemoteControlRow);
    ASSERT_NE(row, nullptr);
    QVSettingSwitch *toggle = settingList->remoteControlSwitch();
    ASSERT_NE(toggle, nullptr);
    EXPECT_EQ(row->describeLabel()->text(), QStringLiteral("setting_remoteControl_describe"));
    EXPECT_TRUE(toggle->isVisibleTo(settingList));
    EXPECT_TRUE(toggle->isEnabled());
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_EQ(consent.writes, 0);

    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_TRUE(consent.given);
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(consent.writes, 1);
    // The rest of the row is the switch's too, and the list stays.
    clickRow(QVSettingViewController::RemoteControlRow);
    EXPECT_FALSE(consent.given);
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_EQ(consent.writes, 2);
    EXPECT_EQ(current(), settingList);

    // Given elsewhere while the window was closed; the list shows it again.
    closeSettings();
    consent.given = true;
    openSettings();
    ASSERT_EQ(list(), settingList);
    EXPECT_TRUE(toggle->isChecked());
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_FALSE(consent.given);
    EXPECT_EQ(consent.writes, 3);

    // A new offer reloads the rows without writing the answer.
    QLabel *aboutHint = settingList->cells().at(QVSettingViewController::AboutRow)->describeLabel();
    model()->setVersionInfoModel(offerOf(QStringLiteral("999.1")));
    ASSERT_TRUE(waitFor([&] { return aboutHint->text() == QStringLiteral("about_newVersion"); }));
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_EQ(consent.writes, 3);
}

// The receiver list runs the version check at its load, on its settings
// button and whenever it appears again; a compulsory newer version lays the
// forced-upgrade dialog over the list and marks the settings button.
TEST_F(SettingsPagesTest, TheReceiverListChecksForANewVersionAtLoadAndOnItsButtonOnly)
{
    server.setVersionInfo(QJsonObject{{"buildNumber", "999.0.0"}, {"isForce", true}});
    QVRootViewController *mainHost = delegate->mainWindowController()->rootViewController();
    // The main window's first page comes on the next turn of the event loop.
    ASSERT_TRUE(waitFor([&] { return qobject_cast<QVMainViewController *>(mainHost->currentViewController()); }));
    auto *receiverList = qobject_cast<QVMainViewController *>(mainHost->currentViewController());
    const auto seriesAsked = [this] { return server.requestCount(FakeServers::FakeWebService::kSeriesPath); };
    ASSERT_TRUE(waitFor([&] { return receiverList->findChild<QVForceUpgradeVC *>() != nullptr; }));
    EXPECT_EQ(seriesAsked(), 1);
    QVForceUpgradeVC *dialog = receiverList->findChild<QVForceUpgradeVC *>();
    EXPECT_TRUE(dialog->isVisibleTo(receiverList));
    EXPECT_EQ(dialog->geometry(), receiverList->rect());
    EXPECT_EQ(receiverList->settingBtn()->image().toImage(),
              QVNamedImage(QVVersionCheck::SettingUpdateImage).toImage());

    // Another page in the list's place, then the list again: no check.
    QVPageRegistry::Override other(QStringLiteral("QVOtherPage"), [] { return new QWidget; });
    mainHost->showNextPageViewWithClassStr(QStringLiteral("QVOtherPage"));
    ASSERT_TRUE(waitFor([&] { return mainHost->currentViewController() != receiverList; }));
    mainHost->showNextPageViewWithClassStr(QVMainViewController::ClassName);
    ASSERT_TRUE(waitFor([&] { return mainHost->currentViewController() == receiverList; }));
    spin(150); // for a check that must not come
    EXPECT_EQ(seriesAsked(), 1);

    // The settings button opens the settings window and checks again.
    server.setVersionInfo(QJsonObject{{"buildNumber", "0.0.1"}, {"isForce", false}});
    receiverList->settintBtnClick();
    EXPECT_NE(delegate->existingSettingWindowController(), nullptr);
    EXPECT_TRUE(waitFor([&] { return seriesAsked() == 2; }));
    EXPECT_TRUE(waitFor([&] {
        return receiverList->settingBtn()->image().toImage() == QVNamedImage(QVVersionCheck::SettingImage).toImage();
    }));
    // One dialog, still up: only the program's quit path ends it.
    EXPECT_EQ(receiverList->findChildren<QVForceUpgradeVC *>().size(), 1);
}
