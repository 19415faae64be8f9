// settings-screenshots OUT_DIR
// Shows the settings list, the about page, the feedback form and the
// forced-upgrade dialog on the X display, with the fake web service as the
// maker's service, and saves each as a PNG in OUT_DIR. Run it under Xvfb to
// refresh the screenshots in docs/.

#include "FakePlatformServices.h"
#include "FakeTavlin.h"
#include "FakeWebService.h"

#include "BaseViewController/View/QVFeedbackContentTextView.h"
#include "Main/App/AppDelegate.h"
#include "Main/App/QVApplicationMain.h"
#include "Main/ViewController/Root/QVPageHost.h"
#include "Main/ViewController/Root/QVRootViewController.h"
#include "Main/ViewController/Root/QVWindow.h"
#include "Main/ViewController/Root/QVWindowControllers.h"
#include "Main/ViewController/Setting/QVFeedbackViewController.h"
#include "Main/ViewController/Setting/QVForceUpgradeVC.h"
#include "Main/ViewController/Setting/QVNewVersionInfoModel.h"
#include "Main/ViewController/Setting/QVSettingViewController.h"
#include "PublicManager/QVBundleAdd.h"
#include "PublicManager/QVNotificationCenter.h"
#include "PublicManager/QVPlatform.h"
#include "PublicManager/QVPublicTools.h"
#include "QVNetWork.h"
#include "QVServiceAddresses.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>

namespace {

void settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool shoot(QWidget *window, const QString &path)
{
    window->raise();
    window->activateWindow();
    settle(600);
    const QRect area = window->frameGeometry();
    const QPixmap shot =
        QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (shot.isNull() || !shot.save(path, "PNG")) {
        std::fprintf(stderr, "settings-screenshots: could not save %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: settings-screenshots OUT_DIR\n");
        return 2;
    }
    const QString out = app.arguments().at(1);
    QDir().mkpath(out);

    // Settings of its own, never the user's.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QCoreApplication::setOrganizationName(QStringLiteral("QuavdeskScreenshots"));
    QCoreApplication::setApplicationName(QStringLiteral("QuavdeskScreenshots"));
    QCoreApplication::setApplicationVersion(QVPublicTools::appVersion());
    QGuiApplication::setQuitOnLastWindowClosed(false);
    QVBundleAdd::installTexts(QString());
    // The user has let receivers drive the mouse and keyboard.
    Platform::Fake::FakePlatformServices platform;
    platform.remoteInputConsent->given = true;
    QVPlatform::setServices(platform.services());

    FakeServers::FakeWebService service;
    if (!service.listen(QHostAddress(QStringLiteral("127.0.0.1")))) {
        std::fprintf(stderr, "settings-screenshots: the fake web service cannot listen\n");
        return 1;
    }
    service.setVersionInfo(QJsonObject{{"buildNumber", "9.0.0"}, {"isForce", true}});
    QSettings settings;
    settings.setValue(QVServiceAddresses::kWebServiceKey, service.baseUrl());
    settings.setValue(QVServiceAddresses::kApiServerKey, service.baseUrl());
    settings.setValue(QVServiceAddresses::kWebSiteKey, service.baseUrl());
    QVNetWork::shareNetWork()->setIsConnect(true);

    auto fake = std::make_shared<FakeTavlin::Shared>();
    QVShareManager manager(fakeServices(fake, std::make_shared<Platform::Fake::FakeScreenCaptureAccess>()));
    QVShareManager::setSharedShareManager(&manager);

    AppDelegateServices services;
    services.trayAvailable = [] { return false; };
    services.setUpLogging = [] {};
    services.shareManager = [&manager] { return &manager; };
    services.quit = [] {};
    AppDelegate delegate(services);
    delegate.applicationDidFinishLaunching();
    QVWindow *mainWindow = delegate.mainWindowController()->window();
    mainWindow->move(40, 40);

    // The receiver list runs the version check when it loads; the service
    // answers with a compulsory newer version.
    QWidget *listArea = delegate.mainWindowController()->rootViewController();
    QElapsedTimer clock;
    clock.start();
    while (!listArea->findChild<QVForceUpgradeVC *>() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

    QVNotificationCenter::defaultCenter()->postNotificationName(
        QVNotificationName::MainSettingBtnClick, {{QVNotificationName::OpenStatusKey, QStringLiteral("1")}});
    QVSettingWindowController *settingController = delegate.existingSettingWindowController();
    if (!settingController)
        return 1;
    QVSettingWindow *settingWindow = settingController->window();
    settingWindow->move(460, 40);
    QVPageHost *host = settingController->pageHost();

    bool ok = shoot(settingWindow, out + QStringLiteral("/settings-list.png"));

    host->switchToPage(QVSettingViewController::AboutPage);
    ok = shoot(settingWindow, out + QStringLiteral("/settings-about.png")) && ok;

    host->switchToPage(QVSettingViewController::FeedbackPage);
    if (auto *feedback = qobject_cast<QVFeedbackViewController *>(host->currentViewController())) {
        feedback->contentTextView()->setPlainText(
            QStringLiteral("The picture freezes for a second when I switch windows during a cast."));
    }
    ok = shoot(settingWindow, out + QStringLiteral("/settings-feedback.png")) && ok;

    settingWindow->hide();
    ok = shoot(mainWindow, out + QStringLiteral("/forced-update.png")) && ok;

    QVShareManager::setSharedShareManager(nullptr);
    return ok && listArea->findChild<QVForceUpgradeVC *>() ? 0 : 1;
}
