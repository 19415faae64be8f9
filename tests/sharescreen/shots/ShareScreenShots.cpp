// share-screen-shots OUT_DIR
// Takes the README's screenshots of the casting screen on the X display
// (run under Xvfb): the main window connected to the receiver emulator,
// before a cast, asking about remote input at the first start, during a
// cast, and frozen. Not a test.

#include "EmulatedReceiverRig.h"
#include "ShareScreenTestSupport.h"

#include "Main/ViewController/Root/QVWindow.h"
#include "Main/ViewController/Root/QVWindowControllers.h"
#include "PublicManager/QVBundleAdd.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

using TestSupport::waitFor;

namespace {

QString &outputFolder()
{
    static QString folder;
    return folder;
}

class ShareScreenShots : public ::testing::Test, protected EmulatedReceiverRig
{
protected:
    void SetUp() override { setUpRig(); }
    void TearDown() override
    {
        delete controller;
        QVPublicTools::sharedPublicTools()->vcCacheDictionary().clear();
        FrameTest::runDeferredDeletes();
        overrides.clear();
        tearDownRig();
    }

    void grab(QWidget *window, const QString &name)
    {
        TestSupport::spin(600);
        const QRect frame = window->frameGeometry();
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, frame.x(), frame.y(), frame.width(),
                                                                          frame.height());
        const QString path = QDir(outputFolder()).filePath(name);
        ASSERT_TRUE(shot.save(path, "PNG")) << path.toStdString();
        std::printf("saved %s\n", qPrintable(path));
    }

    std::vector<std::unique_ptr<QVPageRegistry::Override>> overrides;
    QPointer<QVMainWindowController> controller;
};

TEST_F(ShareScreenShots, BeforeDuringAndFrozen)
{
    FakeServers::FakeFileShareServer fileShare;
    ASSERT_TRUE(fileShare.listen(receiverAddress));
    QVShareScreenServices services;
    services.fileSharePorts = {QString::number(fileShare.port())};
    // A first cast: the screen asks about remote input.
    services.remoteInputConsent = std::make_shared<Platform::Fake::FakeRemoteInputConsent>();
    overrides.push_back(std::make_unique<QVPageRegistry::Override>(
        QStringLiteral("QVMainViewController"),
        []() -> QWidget * { return new StandInPage(QStringLiteral("QVMainViewController"), true); }));
    overrides.push_back(std::make_unique<QVPageRegistry::Override>(
        ShareScreenTest::ScreenName, [services]() -> QWidget * { return new QVShareScreenViewController(services); }));

    MasterControlBehaviour behaviour;
    behaviour.castMode = 2;
    behaviour.castReply = 1;
    master->setBehaviour(behaviour);
    findAndConnect();
    if (HasFatalFailure())
        return;
    QVShareManager::setSharedShareManager(manager.get());

    controller = new QVMainWindowController;
    controller->showWindow();
    QVWindow *window = controller->window();
    window->move(40, 40);
    QVRootViewController *root = controller->rootViewController();
    root->showNextPageViewWithClassStr(ShareScreenTest::ScreenName);
    QPointer<QVShareScreenViewController> screen;
    ASSERT_TRUE(waitFor([&] {
        screen = qobject_cast<QVShareScreenViewController *>(root->currentViewController());
        return screen && screen->tilesEnabled();
    }, 10000));
    ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("heartbeat")) >= 3; }, 10000));
    grab(window, QStringLiteral("casting-screen-before.png"));

    screen->switchBtn()->click();
    ASSERT_TRUE(waitFor([&] { return screen->isAskingRemoteInputConsent(); }, 5000));
    grab(window, QStringLiteral("casting-screen-remote-input.png"));
    ASSERT_NE(screen->defaultAlertVC(), nullptr);
    screen->defaultAlertVC()->doubleRightBtnClick();
    ASSERT_TRUE(waitFor([&] { return screen->switchBtnTag() == QVShareScreenViewController::SwitchTagEnd; }, 10000));
    grab(window, QStringLiteral("casting-screen-during.png"));

    screen->freezeBtn()->click();
    ASSERT_TRUE(waitFor([&] { return senders.shared().videoPaused; }, 5000));
    // The freeze took the window away; the user brings it back.
    window->makeKeyAndOrderFront();
    grab(window, QStringLiteral("casting-screen-frozen.png"));
}

} // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: share-screen-shots OUT_DIR\n");
        return 2;
    }
    outputFolder() = app.arguments().at(1);
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QCoreApplication::setOrganizationName(QStringLiteral("QuavdeskShots"));
    QCoreApplication::setApplicationName(QStringLiteral("QuavdeskShots"));
    QVBundleAdd::installTexts(QString());
    return RUN_ALL_TESTS();
}
