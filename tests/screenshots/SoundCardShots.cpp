// Takes the screenshot of the receiver list's sound-card banner as it shows
// when asked to (the list itself only ever hides it): the list alone in a
// window of the main window's size at the screen's top left corner, over the
// fake casting library with one receiver found. Saves the PNG into the
// folder given. Not a test.
//
//   run_in_session build/test/tests/screenshots/sound-card-shots OUT_DIR
//
// in a shell that sourced scripts/test-env.sh and ran start_test_services.

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include "AFNetwork/QVServiceAddresses.h"
#include "FakeTavlin.h"
#include "Main/ViewController/Main/QVInputViewController.h"
#include "Main/ViewController/Main/QVMainViewController.h"
#include "Main/ViewController/PermissionPrompt/QVPermissionPromptVC.h"
#include "PageShots.h"
#include "PublicManager/QVShareManager.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);
    QTemporaryDir work;
    PageShots::setUp(work);
    // A download page to offer: without one the banner never shows.
    QSettings().setValue(QVServiceAddresses::kSoundCardPageKey, QStringLiteral("http://sound-card.invalid/download"));

    auto fake = std::make_shared<FakeTavlin::Shared>();
    QVShareManager manager(fakeServices(fake, std::make_shared<Platform::Fake::FakeScreenCaptureAccess>()));
    QVShareManager::setSharedShareManager(&manager);
    PageShots::wait(50);

    auto *page = new QVMainViewController;
    PageShots::showPage(page);
    fake->delegate->deviceListChanged({DeviceInformation(QStringLiteral("192.168.20.31"),
                                                         QStringLiteral("Conference Room 4B East"))});
    page->showVirtualSoundCardWithStatus(true);
    PageShots::grab(out, QStringLiteral("sound-card-banner.png"));

    delete page;
    QVShareManager::setSharedShareManager(nullptr);
    return 0;
}
