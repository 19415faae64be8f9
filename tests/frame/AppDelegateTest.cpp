// The program's start-up, its windows and their notifications, and the
// program's menu.

#include "FrameTestSupport.h"

#include "Main/App/AppDelegate.h"
#include "Main/App/QVApplicationMain.h"
#include "Main/ViewController/Root/QVApplicationMenu.h"
#include "Main/ViewController/Root/QVPageHost.h"
#include "Main/ViewController/Root/QVRootViewController.h"
#include "Main/ViewController/Root/QVWindow.h"
#include "Main/ViewController/Root/QVWindowControllers.h"
#include "PublicManager/QVNotificationCenter.h"
#include "QVServiceAddresses.h"
#include "TavlinSDK.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSettings>
#include <QSystemTrayIcon>

using FrameTest::runDeferredDeletes;
using TestSupport::waitFor;
namespace Name = QVNotificationName;

namespace {

QVariantMap openStatus(const char *value)
{
    return {{Name::OpenStatusKey, QString::fromLatin1(value)}};
}

QList<QVWindowChrome *> windowsOfType(const char *className)
{
    QList<QVWindowChrome *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<QVWindowChrome *>(widget); window && window->inherits(className))
            found.append(window);
    }
    return found;
}

class AppDelegateTest : public FrameTest::Fixture
{
protected:
    void SetUp() override
    {
        FrameTest::Fixture::SetUp();
        services.trayAvailable = [] { return false; };
        services.setUpLogging = [this] { steps.append(QStringLiteral("logging")); };
        services.shareManager = [this] {
            steps.append(QStringLiteral("share manager"));
            return manager.get();
        };
        services.quit = [this] { ++quits; };
        center.addObserver(&observer, Name::MainDownLoadSelectFile_Close, [this](const QVariantMap &) {
            steps.append(QStringLiteral("select-file closed"));
        });
    }

    void TearDown() override
    {
        delegate.reset();
        runDeferredDeletes();
        FrameTest::Fixture::TearDown();
    }

    void launch()
    {
        delegate = std::make_unique<AppDelegate>(services);
        delegate->applicationDidFinishLaunching();
    }

    AppDelegateServices services;
    QVNotificationCenter &center = *QVNotificationCenter::defaultCenter();
    QObject observer;
    QStringList steps;
    int quits = 0;
    std::unique_ptr<AppDelegate> delegate;
};

} // namespace

TEST_F(AppDelegateTest, TheVirtualDevicesPasswordIsAskedOnlyOnceTheMainWindowShows)
{
    fake->sonvaleInstalled = false;
    bool windowShownFirst = false;
    fake->onInstall = [&] {
        windowShownFirst = delegate && delegate->mainWindowController()->window()->isVisible();
    };
    launch();
    ASSERT_TRUE(waitFor([&] { return fake->calls.contains(QStringLiteral("installSonvalePlugin")); }));
    EXPECT_TRUE(windowShownFirst);
}

TEST_F(AppDelegateTest, LaunchStepsRunInTheirOrder)
{
    QStringList seen;
    services.trayAvailable = [&] {
        seen.append(QStringLiteral("tray"));
        return false;
    };
    services.setUpLogging = [&] {
        seen.append(QStringLiteral("logging"));
        // The program's menu and the window notifications come first.
        EXPECT_EQ(QVApplicationMenu::menu(), delegate->applicationMenu());
        steps.clear();
        center.postNotificationName(Name::MainDownLoadFileBtnClick, openStatus("0"));
        EXPECT_EQ(steps, QStringList{"select-file closed"});
    };
    services.shareManager = [&] {
        seen.append(QStringLiteral("share manager"));
        // Logging is up before the library starts; no window is yet.
        EXPECT_TRUE(windowsOfType("QVWindow").isEmpty());
        return manager.get();
    };
    launch();
    EXPECT_EQ(seen, (QStringList{"tray", "logging", "share manager"}));
    EXPECT_EQ(delegate->shareManager(), manager.get());

    // Last, the main window with the receiver list.
    const QList<QVWindowChrome *> mains = windowsOfType("QVWindow");
    ASSERT_EQ(mains.size(), 1);
    EXPECT_TRUE(mains.first()->isVisible());
    EXPECT_EQ(mains.first()->windowTitle(), QStringLiteral("app_name"));
    QVRootViewController *root = delegate->mainWindowController()->rootViewController();
    EXPECT_EQ(mains.first()->contentViewController(), root);
    ASSERT_TRUE(waitFor([&] { return root->currentViewController() != nullptr; }));
    EXPECT_EQ(root->currentViewController()->objectName(), QStringLiteral("QVMainViewController"));
    EXPECT_FALSE(delegate->isShowSettingPage());
    EXPECT_FALSE(delegate->isShowDownLoadFilePage());
}

TEST_F(AppDelegateTest, TheProgramTellsTheLibraryItsVersionBeforeTheLibraryStarts)
{
    const QString organization = QCoreApplication::organizationName();
    const QString application = QCoreApplication::applicationName();
    const QString version = QCoreApplication::applicationVersion();

    QVConfigureApplication(*QCoreApplication::instance());
    EXPECT_EQ(QCoreApplication::organizationName(), QStringLiteral("Quavdesk"));
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("Quavdesk"));
    EXPECT_EQ(QCoreApplication::applicationVersion(), QVPublicTools::appVersion());
    EXPECT_EQ(qApp->property(TavlinSDK::ApplicationBuildProperty).toString(), QVPublicTools::appBuild());
    EXPECT_FALSE(QGuiApplication::quitOnLastWindowClosed());
    // The desktop matches the program's windows to its installed entry by
    // this name; without a theme icon the window carries the bundled logo.
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral(QUAVDESK_APPLICATION_ID));
    EXPECT_FALSE(QGuiApplication::windowIcon().isNull());
    // The project's version, as the build gives it.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(QVPublicTools::appVersion()).hasMatch());

    QCoreApplication::setOrganizationName(organization);
    QCoreApplication::setApplicationName(application);
    QCoreApplication::setApplicationVersion(version);
    qApp->setProperty(TavlinSDK::ApplicationBuildProperty, QVariant());
    QGuiApplication::setQuitOnLastWindowClosed(true);
    QGuiApplication::setDesktopFileName(QString());
    QGuiApplication::setWindowIcon(QIcon());
}

TEST_F(AppDelegateTest, TheSettingsWindowOpensOnceAndIsBuiltAnewAfterItCloses)
{
    launch();
    center.postNotificationName(Name::MainSettingBtnClick, openStatus("1"));
    EXPECT_TRUE(delegate->isShowSettingPage());
    QPointer<QVSettingWindowController> first = delegate->existingSettingWindowController();
    ASSERT_FALSE(first.isNull());
    QPointer<QVWindowChrome> window = first->windowChrome();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("setting_title"));
    QPointer<QWidget> settingsPage = first->settingRootViewController()->currentViewController();
    ASSERT_FALSE(settingsPage.isNull());

    // A second "open" only brings the same window forward.
    window->hide();
    center.postNotificationName(Name::MainSettingBtnClick, openStatus("1"));
    EXPECT_EQ(delegate->existingSettingWindowController(), first.data());
    EXPECT_EQ(windowsOfType("QVSettingWindow").size(), 1);
    EXPECT_TRUE(window->isVisible());

    // Its close button: one "closed" notice, the window hidden, then gone.
    QList<QVariantMap> closes;
    QObject listener;
    center.addObserver(&listener, Name::MainSettingBtnClick, [&](const QVariantMap &info) { closes.append(info); });
    window->close();
    EXPECT_EQ(closes, QList<QVariantMap>{openStatus("0")});
    EXPECT_FALSE(delegate->isShowSettingPage());
    EXPECT_EQ(delegate->existingSettingWindowController(), nullptr);
    EXPECT_FALSE(window.isNull());
    EXPECT_FALSE(window->isVisible());
    runDeferredDeletes();
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(window.isNull());
    // The cached settings list survives its window...
    ASSERT_FALSE(settingsPage.isNull());

    // ...and the next window, with a host of its own, shows it again.
    center.postNotificationName(Name::MainSettingBtnClick, openStatus("1"));
    QVSettingWindowController *second = delegate->existingSettingWindowController();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->windowChrome()->isVisible());
    EXPECT_EQ(second->settingRootViewController()->currentViewController(), settingsPage.data());
    EXPECT_EQ(QVPublicTools::sharedPublicTools()->showSettingRootNextViewDelegate(),
              second->settingRootViewController());
}

TEST_F(AppDelegateTest, ASettingsWindowReopenedAtOnceKeepsItsPage)
{
    // Closed and opened again before the old window has gone: the new
    // window holds the cached page, and the old one's end must not take it.
    launch();
    center.postNotificationName(Name::MainSettingBtnClick, openStatus("1"));
    QPointer<QVWindowChrome> oldWindow = delegate->existingSettingWindowController()->windowChrome();
    QPointer<QWidget> page = delegate->existingSettingWindowController()->pageHost()->currentViewController();
    center.postNotificationName(Name::MainSettingBtnClick, openStatus("0"));
    center.postNotificationName(Name::MainSettingBtnClick, openStatus("1"));
    QVPageHost *newHost = delegate->existingSettingWindowController()->pageHost();
    EXPECT_EQ(newHost->currentViewController(), page.data());

    runDeferredDeletes();
    EXPECT_TRUE(oldWindow.isNull());
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page->parentWidget(), newHost->bgView());
    EXPECT_TRUE(page->isVisibleTo(newHost));
}

TEST_F(AppDelegateTest, ForgettingTheDownloadWindowAlwaysTellsTheCastingScreen)
{
    launch();
    steps.clear();
    // Nothing open: the notice goes out all the same.
    center.postNotificationName(Name::MainDownLoadFileBtnClick, openStatus("0"));
    EXPECT_EQ(steps, QStringList{"select-file closed"});

    center.postNotificationName(Name::MainDownLoadFileBtnClick, openStatus("1"));
    center.postNotificationName(Name::MainDownLoadFileBtnClick, openStatus("1"));
    EXPECT_TRUE(delegate->isShowDownLoadFilePage());
    ASSERT_EQ(windowsOfType("QVDownLoadWindow").size(), 1);
    QPointer<QVWindowChrome> window = windowsOfType("QVDownLoadWindow").first();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("setting_title"));
    EXPECT_EQ(delegate->existingDownLoadWindowController()->downLoadFileRootVC()->currentViewController()->objectName(),
              QStringLiteral("QVDownLoadSelectFileVC"));

    // Its close button: one "closed", the window forgotten before the
    // casting screen hears of it, and hidden.
    QList<QVariantMap> closes;
    QObject listener;
    center.addObserver(&listener, Name::MainDownLoadFileBtnClick, [&](const QVariantMap &info) {
        closes.append(info);
        steps.append(QStringLiteral("closed"));
    });
    center.addObserver(&listener, Name::MainDownLoadSelectFile_Close, [&](const QVariantMap &) {
        EXPECT_EQ(delegate->existingDownLoadWindowController(), nullptr);
        EXPECT_FALSE(delegate->isShowDownLoadFilePage());
    });
    steps.clear();
    window->close();
    EXPECT_EQ(closes, QList<QVariantMap>{openStatus("0")});
    EXPECT_EQ(steps, (QStringList{"select-file closed", "closed"}));
    EXPECT_FALSE(window->isVisible());
    runDeferredDeletes();
    EXPECT_TRUE(window.isNull());
}

TEST_F(AppDelegateTest, TheTrayClickBringsTheMainWindowAndAnOpenSettingsWindow)
{
    launch();
    QVWindow *main = delegate->mainWindowController()->window();
    main->hide();
    delegate->showWindow();
    EXPECT_TRUE(main->isVisible());
    // No settings window is made by it.
    EXPECT_EQ(delegate->existingSettingWindowController(), nullptr);

    center.postNotificationName(Name::MainSettingBtnClick, openStatus("1"));
    QVWindowChrome *settings = delegate->existingSettingWindowController()->windowChrome();
    main->hide();
    settings->showMinimized();
    delegate->showWindow();
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(settings->isVisible());
    EXPECT_FALSE(settings->isMinimized());

    // A second start of the program brings the main window only.
    main->hide();
    settings->hide();
    delegate->applicationShouldHandleReopen();
    EXPECT_TRUE(main->isVisible());
    EXPECT_FALSE(settings->isVisible());
}

TEST_F(AppDelegateTest, ClosingTheMainWindowEndsALiveSessionAndKeepsTheWindow)
{
    services.trayAvailable = [] { return true; };
    launch();
    ASSERT_NE(delegate->statusBar(), nullptr);
    EXPECT_EQ(delegate->statusBar()->contextMenu(), delegate->applicationMenu());
    QPointer<QVWindow> main = delegate->mainWindowController()->window();
    EXPECT_EQ(main->applicationMenuBar(), nullptr);

    // No session: the window goes out of sight and the library hears nothing.
    fake->calls.clear();
    main->close();
    EXPECT_FALSE(main->isVisible());
    EXPECT_FALSE(fake->calls.contains(QStringLiteral("disconnectWithDevice")));

    delegate->showWindow();
    library()->connectDeviceSuccess(ServerInfo{QStringLiteral("Room A"), QStringLiteral("127.0.0.9")});
    ASSERT_TRUE(manager->connectStatus());
    main->close();
    EXPECT_EQ(fake->calls.count(QStringLiteral("disconnectWithDevice")), 1);
    EXPECT_FALSE(manager->connectStatus());
    runDeferredDeletes();
    ASSERT_FALSE(main.isNull());
    EXPECT_FALSE(main->isVisible());

    // The window and its page come back as they were.
    QWidget *page = delegate->mainWindowController()->rootViewController()->currentViewController();
    delegate->showWindow();
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(delegate->mainWindowController()->rootViewController()->currentViewController(), page);
}

TEST_F(AppDelegateTest, WithoutATrayTheMainWindowCarriesTheMenuAndMinimises)
{
    launch();
    EXPECT_EQ(delegate->statusBar(), nullptr);
    QVWindow *main = delegate->mainWindowController()->window();
    ASSERT_NE(main->applicationMenuBar(), nullptr);
    EXPECT_EQ(main->applicationMenuBar()->actions().value(0), delegate->applicationMenu()->menuAction());
    // The page area keeps its size under the bar.
    EXPECT_EQ(main->contentViewController()->height(), QVWindow::ContentSize.height());

    main->close();
    EXPECT_TRUE(main->isMinimized());
    delegate->showWindow();
    EXPECT_FALSE(main->isMinimized());
    EXPECT_TRUE(main->isVisible());
}

TEST_F(AppDelegateTest, TheProgramsMenuOffersThePrivacyPageAndQuit)
{
    launch();
    QMenu *menu = delegate->applicationMenu();
    const QList<QAction *> actions = menu->actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions.at(0)->text(), QStringLiteral("app_menu_show"));
    EXPECT_EQ(actions.at(1)->text(), QStringLiteral("app_menu_privacy"));
    EXPECT_TRUE(actions.at(2)->isSeparator());
    EXPECT_EQ(actions.at(3)->text(), QStringLiteral("app_menu_quit"));
    // No web site is known: there is no page to open.
    EXPECT_FALSE(actions.at(1)->isEnabled());

    actions.at(3)->trigger();
    EXPECT_EQ(quits, 1);

    QVWindow *main = delegate->mainWindowController()->window();
    main->hide();
    actions.at(0)->trigger();
    EXPECT_TRUE(main->isVisible());
}

TEST_F(AppDelegateTest, ThePrivacyPageOpensInTheUsersLanguage)
{
    QSettings().setValue(QVServiceAddresses::kWebSiteKey, QStringLiteral("http://127.0.0.1:9/"));
    UrlRecorder browser;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "open");
    launch();
    QAction *privacy = delegate->mainWindowController()->rootViewController()->privacyPolicyAction();
    ASSERT_TRUE(privacy->isEnabled());
    privacy->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QSettings().remove(QVServiceAddresses::kWebSiteKey);

    ASSERT_EQ(browser.urls.size(), 1);
    const QString suffix = QVPublicTools::sharedPublicTools()->getAppSupportLanguageForH5();
    EXPECT_EQ(browser.urls.first(), QUrl(QStringLiteral("http://127.0.0.1:9/privacymac") + suffix));
    EXPECT_TRUE(suffix.isEmpty() || suffix == QStringLiteral("_tw") || suffix == QStringLiteral("_en"));
}
