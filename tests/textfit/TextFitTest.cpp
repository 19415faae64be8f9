// Every page and dialog of the program, in English, shows its texts whole:
// no label, button or painted row cuts a text at its edge. Each scene below
// opens one window in one state (the program's own windows, page hosts and
// pages over the fake casting library and fake servers) and measures every
// text as it is drawn (TextFit). A new page or state is one more scene.

#include "TextFit.h"

#include "FakeTavlin.h"
#include "FrameTestSupport.h"

#include "AFNetwork/QVNetWork.h"
#include "AFNetwork/QVServiceAddresses.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVCustomButton.h"
#include "BaseViewController/View/QVLoadingView.h"
#include "BaseViewController/View/QVShowTipsView.h"
#include "Main/Model/QVDownLoadFileModel.h"
#include "Main/Model/QVKVOModel.h"
#include "Main/Model/QVUploadFileModel.h"
#include "Main/ViewController/DownLoadFile/QVDownLoadFileVC.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadSelectFileVC.h"
#include "Main/ViewController/DownLoadSelectFile/QVEncryptPanelView.h"
#include "Main/ViewController/Main/QVInputViewController.h"
#include "Main/ViewController/Main/QVMainViewController.h"
#include "Main/ViewController/PermissionPrompt/QVPermissionPromptVC.h"
#include "Main/ViewController/Root/QVPageHost.h"
#include "Main/ViewController/Root/QVRootViewController.h"
#include "Main/ViewController/Root/QVTipsBanner.h"
#include "Main/ViewController/Root/QVWindow.h"
#include "Main/ViewController/Root/QVWindowControllers.h"
#include "Main/ViewController/Setting/QVAboutViewController.h"
#include "Main/ViewController/Setting/QVForceUpgradeVC.h"
#include "Main/ViewController/Setting/QVNewVersionInfoModel.h"
#include "Main/ViewController/ShareScreen/QVShareScreenViewController.h"
#include "Main/ViewController/TransferFile/QVTransferListModel.h"
#include "Main/ViewController/TransferFile/QVTransferTableView.h"
#include "Main/ViewController/UploadFile/QVTransferFileViewController.h"
#include "PublicManager/QVBundleAdd.h"
#include "PublicManager/QVPageRegistry.h"
#include "PublicManager/QVPublicTools.h"

#include "FakeFileShareServer.h"
#include "FakePlatformServices.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>

#include <functional>
#include <iostream>

using TestSupport::waitFor;

namespace {

// Names as receivers give them: an everyday one, and one longer than any
// row has room for (rows end it in an ellipsis).
const QString kReceiverName = QStringLiteral("Conference Room 4B East");
const QString kLongReceiverName =
    QStringLiteral("Boardroom projector on the third floor of the north building, next to the kitchen");

class TextFitTest;

struct Scene {
    const char *name;
    // Opens the scene; returns the window to measure.
    std::function<QWidget *(TextFitTest &)> open;
};

void PrintTo(const Scene &scene, std::ostream *out)
{
    *out << scene.name;
}

class TextFitTest : public ::testing::TestWithParam<Scene>
{
public:
    void SetUp() override
    {
        QVBundleAdd::installTexts(QString());
        QSettings().setValue(QVServiceAddresses::kSoundCardPageKey, QStringLiteral("http://sound-card.invalid/"));
        manager = std::make_unique<QVShareManager>(fakeServices(fake, capture));
        QVShareManager::setSharedShareManager(manager.get());
        QVNetWork::shareNetWork()->setIsConnect(true);
        ASSERT_TRUE(fileShare.listen(TestSupport::uniqueLoopbackAddress()));
        manager->setFileShareIp(fileShare.baseUrl());
        manager->setConnectDeviceModel(DeviceInformation(fileShare.address().toString(), kLongReceiverName));
        // Past the first start: the permission prompt may show.
        QVPublicTools::sharedPublicTools()->userDefaults()->setValue(QVMainViewController::AppFirstUsedKey,
                                                                     QStringLiteral("1"));
    }

    void TearDown() override
    {
        for (const QPointer<QWidget> &window : std::as_const(windows))
            delete window.data();
        controllers.clear();
        QVPublicTools::sharedPublicTools()->vcCacheDictionary().clear();
        QVPublicTools::sharedPublicTools()->setIsInToUploadFilePage(false);
        FrameTest::runDeferredDeletes();
        overrides.clear();
        QVShareManager::setSharedShareManager(nullptr);
        manager.reset();
        FrameTest::runDeferredDeletes();
        QSettings().remove(QVServiceAddresses::kSoundCardPageKey);
        QVBundleAdd::installTexts(QString(), QStringLiteral(":/no-texts"));
    }

    // Lets queued work, layouts and deferred deletions run.
    static void settle(int ms = 60)
    {
        TestSupport::spin(ms);
        FrameTest::runDeferredDeletes();
        TestSupport::spin(20);
    }

    // The main window with the receiver list, as the program opens it.
    QVMainWindowController &mainWindow()
    {
        if (!m_main) {
            auto controller = std::make_unique<QVMainWindowController>();
            m_main = controller.get();
            controllers.push_back(std::move(controller));
            m_main->showWindow();
            EXPECT_TRUE(waitFor([this] { return page<QVMainViewController>() != nullptr; }));
            settle();
        }
        return *m_main;
    }
    QWidget *mainWindowChrome() { return mainWindow().windowChrome(); }

    template <typename Page> Page *page()
    {
        return m_main ? qobject_cast<Page *>(m_main->pageHost()->currentViewController()) : nullptr;
    }

    // Shows `className` in the main window.
    template <typename Page> Page *showInMain(const QString &className)
    {
        mainWindow().rootViewController()->showNextPageViewWithClassStr(className);
        EXPECT_TRUE(waitFor([this] { return page<Page>() != nullptr; }));
        settle();
        return page<Page>();
    }

    // The casting screen of a connected receiver, its functions probed.
    QVShareScreenViewController *castingScreen()
    {
        QVShareScreenServices services;
        services.fileSharePorts = {QString::number(fileShare.port())};
        services.freezeDelayMs = 1;
        services.remoteInputConsent = platform.remoteInputConsent;
        services.settings = platform.store;
        overrides.push_back(std::make_unique<QVPageRegistry::Override>(
            QVShareScreenViewController::ClassName,
            [services]() -> QWidget * { return new QVShareScreenViewController(services); }));
        auto *screen = showInMain<QVShareScreenViewController>(QVShareScreenViewController::ClassName);
        EXPECT_TRUE(waitFor([screen] { return !screen->isProbingFileFunctions(); }));
        settle();
        return screen;
    }

    QVTransferFileViewController *uploadPage()
    {
        QVTransferFileVCServices services;
        const QString base = fileShare.baseUrl();
        services.engine.fileShareIp = [base] { return base; };
        services.engine.probe = [](qint64, QVTransferNetworkCheck::Verdict verdict) { verdict(true); };
        services.kvoModel = [this] { return manager->kvoModel(); };
        overrides.push_back(std::make_unique<QVPageRegistry::Override>(
            QStringLiteral("QVTransferFileViewController"),
            [services]() -> QWidget * { return new QVTransferFileViewController(services); }));
        return showInMain<QVTransferFileViewController>(QStringLiteral("QVTransferFileViewController"));
    }

    QVDownLoadFileVC *downloadPage()
    {
        QVDownLoadFileVCServices services;
        const QString base = fileShare.baseUrl();
        const QString folderPath = folder.path();
        services.engine.fileShareIp = [base] { return base; };
        services.engine.password = [] { return QString(); };
        services.engine.downloadFolder = [folderPath] { return folderPath; };
        services.engine.probe = [](qint64, QVTransferNetworkCheck::Verdict verdict) { verdict(true); };
        services.engine.networkReachable = [] { return true; };
        services.revealer = platform.fileRevealer;
        overrides.push_back(std::make_unique<QVPageRegistry::Override>(
            QStringLiteral("QVDownLoadFileVC"),
            [services]() -> QWidget * { return new QVDownLoadFileVC(services); }));
        return showInMain<QVDownLoadFileVC>(QStringLiteral("QVDownLoadFileVC"));
    }

    // The settings window on `className`.
    QWidget *settingsWindow(const QString &className = QString())
    {
        auto controller = std::make_unique<QVSettingWindowController>();
        QVSettingWindowController *settings = controller.get();
        controllers.push_back(std::move(controller));
        settings->showWindow();
        settle();
        if (!className.isEmpty()) {
            settings->settingRootViewController()->showSettingNextPageViewWithClassStr(className);
            settle();
        }
        return settings->windowChrome();
    }

    // The download window with its browser over the fake file-share server.
    QVDownLoadSelectFileVC *browser()
    {
        auto controller = std::make_unique<QVDownLoadFileWindowController>();
        m_download = controller.get();
        controllers.push_back(std::move(controller));
        m_download->showWindow();
        const auto current = [this] {
            return qobject_cast<QVDownLoadSelectFileVC *>(m_download->pageHost()->currentViewController());
        };
        EXPECT_TRUE(waitFor([&] { return current() != nullptr; }));
        EXPECT_TRUE(waitFor([&] { return !current()->isLoading(); }));
        settle(200);
        return current();
    }
    QWidget *downloadWindowChrome() { return m_download->windowChrome(); }

    // A window of `size` that holds `content` at its full size.
    QWidget *windowWith(QWidget *content, const QSize &size)
    {
        auto *window = new QWidget;
        windows.append(window);
        window->resize(size);
        content->setParent(window);
        content->setGeometry(window->rect());
        window->show();
        settle();
        return window;
    }

    std::shared_ptr<FakeTavlin::Shared> fake = std::make_shared<FakeTavlin::Shared>();
    std::shared_ptr<Platform::Fake::FakeScreenCaptureAccess> capture =
        std::make_shared<Platform::Fake::FakeScreenCaptureAccess>();
    Platform::Fake::FakePlatformServices platform;
    std::unique_ptr<QVShareManager> manager;
    FakeServers::FakeFileShareServer fileShare;
    QTemporaryDir folder;
    std::vector<std::unique_ptr<QVPageRegistry::Override>> overrides;
    std::vector<std::unique_ptr<QVWindowController>> controllers;
    QList<QPointer<QWidget>> windows;

private:
    QVMainWindowController *m_main = nullptr;
    QVDownLoadFileWindowController *m_download = nullptr;
};

// ---------------------------------------------------------------------------
// Scenes

QWidget *receiverList(TextFitTest &t)
{
    QWidget *window = t.mainWindowChrome();
    t.fake->delegate->deviceListChanged({DeviceInformation(QStringLiteral("192.168.20.31"), kReceiverName),
                                         DeviceInformation(QStringLiteral("192.168.20.32"), kLongReceiverName)});
    TextFitTest::settle();
    return window;
}

QWidget *emptyReceiverList(TextFitTest &t)
{
    return t.mainWindowChrome();
}

QWidget *codeDialog(TextFitTest &t)
{
    QWidget *window = t.mainWindowChrome();
    auto *list = t.page<QVMainViewController>();
    list->showAlertWithModel(DeviceInformation(QStringLiteral("192.168.20.32"), kLongReceiverName));
    TextFitTest::settle();
    return window;
}

QWidget *receiverListPermissionPrompt(TextFitTest &t)
{
    QWidget *window = t.mainWindowChrome();
    t.page<QVMainViewController>()->showPermissionPromptVC();
    TextFitTest::settle();
    return window;
}

QWidget *receiverListForcedUpgrade(TextFitTest &t)
{
    QWidget *window = t.mainWindowChrome();
    auto *dialog = new QVForceUpgradeVC(t.page<QVMainViewController>());
    dialog->setGeometry(t.page<QVMainViewController>()->rect());
    dialog->show();
    TextFitTest::settle();
    return window;
}

QWidget *receiverListSoundCard(TextFitTest &t)
{
    QWidget *window = t.mainWindowChrome();
    t.page<QVMainViewController>()->showVirtualSoundCardWithStatus(true);
    TextFitTest::settle();
    EXPECT_TRUE(t.page<QVMainViewController>()->soundCardView()->isVisible());
    return window;
}

QWidget *receiverListConnecting(TextFitTest &t)
{
    QWidget *window = t.mainWindowChrome();
    t.fake->delegate->deviceListChanged({DeviceInformation(QStringLiteral("192.168.20.31"), kReceiverName)});
    TextFitTest::settle();
    t.page<QVMainViewController>()->checkConnectDeviceStatusWithModel(
        DeviceInformation(QStringLiteral("192.168.20.31"), kReceiverName));
    TextFitTest::settle();
    return window;
}

QWidget *tipsBanners(TextFitTest &t)
{
    QWidget *window = t.mainWindowChrome();
    QVTipsBanner *banner = t.mainWindow().rootViewController()->tipsBanner();
    // Every message the banner shows, one after the other; the scene is
    // measured with the longest, and each is checked on its own here.
    const char *keys[] = {"shareScreen_disconnected",          "shareScreen_request_fullScreen",
                          "shareScreen_request_unFullScreen",  "main_requestScreenCasting_timeOut",
                          "main_requestScreenCasting_refuse",  "main_connection_failed",
                          "main_enter_correct_code",           "main_localFile_fileDoesNotExist",
                          "transferFile_deleteFail",           "main_downLoadFile_serverFileDoesNotExist",
                          "main_downLoadFile_localFileDoesNotExist"};
    for (const char *key : keys) {
        banner->showTipsWithTitle(QCoreApplication::translate("Localizable", key), QVTipsBanner::TypeBad);
        TextFitTest::settle(20);
        const QList<TextFit::Misfit> misfits = TextFit::misfitsIn(banner->tipsView());
        for (const TextFit::Misfit &misfit : misfits)
            ADD_FAILURE() << key << ": " << misfit.describe().toStdString();
    }
    return window;
}

QWidget *castingScreenIdle(TextFitTest &t)
{
    t.castingScreen();
    return t.mainWindowChrome();
}

QWidget *castingScreenAsking(TextFitTest &t)
{
    QVShareScreenViewController *screen = t.castingScreen();
    screen->setSwitchBtnStyle(1);
    TextFitTest::settle();
    return t.mainWindowChrome();
}

QWidget *castingScreenCasting(TextFitTest &t)
{
    QVShareScreenViewController *screen = t.castingScreen();
    t.manager->kvoModel()->setAllowFullScreenStatus(1);
    t.fake->delegate->castSuccess();
    TextFitTest::settle();
    // Full screen on the receiver: "Exit Full Screen".
    t.fake->delegate->fullScreenStateChanged(1);
    TextFitTest::settle();
    EXPECT_TRUE(screen->fullScreenBtn()->isVisible());
    return t.mainWindowChrome();
}

QWidget *castingScreenFrozen(TextFitTest &t)
{
    QVShareScreenViewController *screen = t.castingScreen();
    t.manager->kvoModel()->setAllowFullScreenStatus(1);
    t.fake->delegate->castSuccess();
    TextFitTest::settle();
    screen->freezeBtnClick();
    TextFitTest::settle();
    // The freeze hides the window; it comes back as the user brings it.
    t.mainWindow().window()->makeKeyAndOrderFront();
    TextFitTest::settle();
    return t.mainWindowChrome();
}

// Shows each alert in turn over `window`, measures it, and takes it away.
using Alerts = std::vector<std::pair<const char *, std::function<void()>>>;
void measureEach(QWidget *window, const Alerts &alerts, const std::function<bool()> &showing,
                 const std::function<void()> &dismiss)
{
    for (const auto &[name, show] : alerts) {
        show();
        TextFitTest::settle();
        EXPECT_TRUE(showing()) << name;
        for (const TextFit::Misfit &misfit : TextFit::misfitsIn(window))
            ADD_FAILURE() << name << ": " << misfit.describe().toStdString();
        dismiss();
        TextFitTest::settle();
    }
}

QWidget *castingScreenAlerts(TextFitTest &t)
{
    QVShareScreenViewController *screen = t.castingScreen();
    QWidget *window = t.mainWindowChrome();
    measureEach(window,
                {
                    {"low version", [screen] { screen->setSystemVersionIsLowerAlertVC(); }},
                    {"server error", [screen] { screen->setConnectServerErrorAlertVC(); }},
                    {"refused", [screen] { screen->setServerRejectUploadAlertVC(); }},
                    {"busy", [screen] { screen->setServerCUPLoadAlertVC(); }},
                    {"upgrade", [screen] { screen->setUpgradeAlertVC(); }},
                    {"code",
                     [screen, &t] { screen->checkFileShareVerifyCode(QStringLiteral("4F2A"), t.fileShare.baseUrl()); }},
                },
                [screen] { return screen->checkShowingAlert(); }, [screen] { screen->removeAlertVC(); });
    return window;
}

QWidget *castingScreenRemoteInput(TextFitTest &t)
{
    QVShareScreenViewController *screen = t.castingScreen();
    screen->switchBtnClick();
    TextFitTest::settle();
    EXPECT_TRUE(screen->isAskingRemoteInputConsent());
    return t.mainWindowChrome();
}

QWidget *castingScreenPermissionPrompt(TextFitTest &t)
{
    QVShareScreenViewController *screen = t.castingScreen();
    t.capture->allowed = false;
    screen->switchBtnClick();
    TextFitTest::settle();
    EXPECT_NE(screen->permissionPromptVC(), nullptr);
    return t.mainWindowChrome();
}

// The rows of a transfer page, one per state, drawn by the page's own row
// delegate in its own table over a list of the test's.
template <typename Model>
void showRows(QVTransferTableView *table, const QList<std::shared_ptr<Model>> &models,
              std::function<QString(const Model &)> name, std::function<qint64(const Model &)> status)
{
    auto *list = new QVKVOMutableArray<Model>(table);
    list->addObjectsFromArray(models);
    table->setModel(new QVTransferRows<Model>(
        *list, {std::move(name), std::move(status), [](const Model &, float) { return 0.5f; }}, list));
    TextFitTest::settle();
}

QWidget *uploadPageEmpty(TextFitTest &t)
{
    t.uploadPage();
    return t.mainWindowChrome();
}

QWidget *uploadPageRows(TextFitTest &t)
{
    QVTransferFileViewController *upload = t.uploadPage();
    upload->setTransferStatus(true);
    QList<std::shared_ptr<QVUploadFileModel>> models;
    for (qint64 status = QVUploadFileModel::Waiting; status <= QVUploadFileModel::FormatNotSupported; ++status) {
        auto model = std::make_shared<QVUploadFileModel>();
        model->setSourceFileURL(QUrl::fromLocalFile(QStringLiteral("/home/user/Documents/Quarterly report %1.pdf").arg(status)));
        model->setUploadStatus(status);
        models.append(model);
    }
    showRows<QVUploadFileModel>(
        upload->tableView(), models,
        [](const QVUploadFileModel &file) { return QFileInfo(file.sourceFileURL().toLocalFile()).fileName(); },
        [](const QVUploadFileModel &file) { return file.uploadStatus(); });
    return t.mainWindowChrome();
}

QWidget *uploadPageAlerts(TextFitTest &t)
{
    QVTransferFileViewController *upload = t.uploadPage();
    QWidget *window = t.mainWindowChrome();
    measureEach(window,
                {
                    {"delete", [upload] { upload->setSingleDeleteAlert([] {}); }},
                    {"network lost", [upload] { upload->setNetworkReconnectAlert(); }},
                    {"busy", [upload] { upload->setServerCUPLoadAlertVC(); }},
                    {"refused", [upload] { upload->setServerRejectUploadAlertVC(); }},
                    {"no space", [upload] { upload->setNotEnoughSpaceAlert(); }},
                    {"leave", [upload] { upload->setCancelUploadAlert(); }},
                },
                [upload] { return upload->checkShowingAlert(); }, [upload] { upload->removeAlertVC(); });
    return window;
}

QWidget *downloadPageRows(TextFitTest &t)
{
    QVDownLoadFileVC *download = t.downloadPage();
    QList<std::shared_ptr<QVDownLoadFileModel>> models;
    for (qint64 status = QVDownLoadFileModel::Waiting; status <= QVDownLoadFileModel::WrongPassword; ++status) {
        auto model = std::make_shared<QVDownLoadFileModel>();
        model->setName(QStringLiteral("Minutes of the meeting %1.docx").arg(status));
        model->setFileSize(QStringLiteral("48000"));
        model->setDownLoadStatus(status);
        models.append(model);
    }
    showRows<QVDownLoadFileModel>(
        download->tableView(), models, [](const QVDownLoadFileModel &file) { return file.name(); },
        [](const QVDownLoadFileModel &file) { return file.downLoadStatus(); });
    return t.mainWindowChrome();
}

QWidget *downloadPageAlerts(TextFitTest &t)
{
    QVDownLoadFileVC *download = t.downloadPage();
    QWidget *window = t.mainWindowChrome();
    measureEach(window,
                {
                    {"delete", [download] { download->setSingleDeleteAlert([] {}); }},
                    {"network lost", [download] { download->setNetworkReconnectAlert(); }},
                    {"busy", [download] { download->setServerCUPLoadAlertVC(); }},
                    {"refused", [download] { download->setServerRejectUploadAlertVC(); }},
                    {"leave", [download] { download->setCancelDownLoadAlertVC(); }},
                },
                [download] { return download->checkShowingAlert(); }, [download] { download->removeAlertVC(); });
    return window;
}

QWidget *settingsList(TextFitTest &t)
{
    // A newer version on offer: the about row says so.
    QVNewVersionInfoModel offer;
    offer.buildNumber = QStringLiteral("999.0.0");
    t.manager->kvoModel()->setVersionInfoModel(offer.toVariant());
    return t.settingsWindow();
}

QWidget *settingsFeedback(TextFitTest &t)
{
    return t.settingsWindow(QStringLiteral("QVFeedbackViewController"));
}

QWidget *settingsAbout(TextFitTest &t)
{
    QVNewVersionInfoModel offer;
    offer.buildNumber = QStringLiteral("999.0.0");
    t.manager->kvoModel()->setVersionInfoModel(offer.toVariant());
    QWidget *window = t.settingsWindow(QStringLiteral("QVAboutViewController"));
    auto *about = window->findChild<QVAboutViewController *>();
    EXPECT_NE(about, nullptr);
    if (about) {
        about->displayContent();
        TextFitTest::settle();
    }
    return window;
}

QWidget *settingsDownloadFolder(TextFitTest &t)
{
    return t.settingsWindow(QStringLiteral("QVDownLoadFilePathSettingVC"));
}

QWidget *browserNoNetwork(TextFitTest &t)
{
    QVNetWork::shareNetWork()->setIsConnect(false);
    t.browser();
    QVNetWork::shareNetWork()->setIsConnect(true);
    return t.downloadWindowChrome();
}

// The receiver's roots and a folder with files of each kind, as the
// browser's screenshots show them.
void serveFiles(FakeServers::FakeFileShareServer &server)
{
    server.addRoot({QStringLiteral("Root-Local"), QStringLiteral("Local files"), false, {}, 0});
    server.addRoot({QStringLiteral("Root-Download"), QStringLiteral("Downloads"), false, {}, 0});
    server.addRoot({QStringLiteral("Root-Share"), QStringLiteral("Shared with me"), false, {}, 0});
    server.addRoot({QStringLiteral("Root-Meeting"), QStringLiteral("Meeting recordings"), false, {}, 1});
    server.addRoot({QStringLiteral("Root-Picture"), QStringLiteral("Pictures"), false, {}, 1});
    server.addRoot({QStringLiteral("Root-Encrypt"), QStringLiteral("Private folder"), true, QStringLiteral("246810"), 2});
    qint64 stamp = 1733700000000;
    server.addFolder(QStringLiteral("Root-Local/Board meeting 2024"));
    for (const auto &[name, type] : {std::pair{"Quarterly report Q3 final version with appendix.pdf", "PDF"},
                                     std::pair{"Budget 2025.xlsx", "EXCEL"}, std::pair{"Kick-off slides.pptx", "PPT"},
                                     std::pair{"Product demo.mp4", "VIDEO"}, std::pair{"Voice memo.m4a", "AUDIO"}}) {
        server.addFile(QStringLiteral("Root-Local/") + QString::fromUtf8(name), QByteArray(4000, 'f'),
                       QString::fromLatin1(type), stamp);
        stamp -= 3600000;
    }
}

QWidget *browserFiles(TextFitTest &t)
{
    serveFiles(t.fileShare);
    QVDownLoadSelectFileVC *page = t.browser();
    EXPECT_FALSE(page->fileListArray().isEmpty());
    // Both layouts, and the sort menu open over the list.
    for (const TextFit::Misfit &misfit : TextFit::misfitsIn(t.downloadWindowChrome()))
        ADD_FAILURE() << "layout " << page->layoutType() << ": " << misfit.describe().toStdString();
    page->layoutBtnClick();
    TextFitTest::settle(200);
    page->selectItemWithModel(page->fileListArray().value(1));
    page->sortBtnClick();
    TextFitTest::settle(100);
    return t.downloadWindowChrome();
}

QWidget *browserProtectedFolder(TextFitTest &t)
{
    serveFiles(t.fileShare);
    QVDownLoadSelectFileVC *page = t.browser();
    page->chooseRoot(2, 0);
    EXPECT_TRUE(waitFor([page] { return page->encryptView()->isVisible(); }));
    TextFitTest::settle();
    QWidget *window = t.downloadWindowChrome();
    for (const TextFit::Misfit &misfit : TextFit::misfitsIn(window))
        ADD_FAILURE() << "password: " << misfit.describe().toStdString();
    // Three wrong passwords lock it.
    for (const char *wrong : {"111111", "222222", "333333"}) {
        page->secureTextField()->setText(QString::fromLatin1(wrong));
        page->confirmPwdBtnClick();
        EXPECT_TRUE(waitFor([page] { return !page->isLoading(); }));
        TextFitTest::settle(100);
    }
    EXPECT_TRUE(page->isLockTimerRunning());
    return window;
}

// The scenes; a new page or state is one more line.
const Scene kScenes[] = {
    {"ReceiverList", receiverList},
    {"EmptyReceiverList", emptyReceiverList},
    {"ReceiverListConnecting", receiverListConnecting},
    {"CodeDialog", codeDialog},
    {"ReceiverListPermissionPrompt", receiverListPermissionPrompt},
    {"ReceiverListForcedUpgrade", receiverListForcedUpgrade},
    {"ReceiverListSoundCard", receiverListSoundCard},
    {"TipsBanners", tipsBanners},
    {"CastingScreenIdle", castingScreenIdle},
    {"CastingScreenAsking", castingScreenAsking},
    {"CastingScreenCasting", castingScreenCasting},
    {"CastingScreenFrozen", castingScreenFrozen},
    {"CastingScreenAlerts", castingScreenAlerts},
    {"CastingScreenRemoteInput", castingScreenRemoteInput},
    {"CastingScreenPermissionPrompt", castingScreenPermissionPrompt},
    {"UploadPageEmpty", uploadPageEmpty},
    {"UploadPageRows", uploadPageRows},
    {"UploadPageAlerts", uploadPageAlerts},
    {"DownloadPageRows", downloadPageRows},
    {"DownloadPageAlerts", downloadPageAlerts},
    {"SettingsList", settingsList},
    {"SettingsFeedback", settingsFeedback},
    {"SettingsAbout", settingsAbout},
    {"SettingsDownloadFolder", settingsDownloadFolder},
    {"BrowserNoNetwork", browserNoNetwork},
    {"BrowserFiles", browserFiles},
    {"BrowserProtectedFolder", browserProtectedFolder},
};

} // namespace

TEST_P(TextFitTest, EveryTextShowsWhole)
{
    // The fonts the widths are measured in are CI's.
    ASSERT_TRUE(QFontDatabase::families().contains(QStringLiteral("DejaVu Sans")));
    QWidget *window = GetParam().open(*this);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->isVisible());
    for (const TextFit::Misfit &misfit : TextFit::misfitsIn(window))
        ADD_FAILURE() << misfit.describe().toStdString();
    if (qEnvironmentVariableIsSet("QUAVDESK_TEXTFIT_DUMP"))
        std::cout << TextFit::textsIn(window).join(QStringLiteral(" | ")).toStdString() << std::endl;
}

INSTANTIATE_TEST_SUITE_P(Pages, TextFitTest, ::testing::ValuesIn(kScenes),
                         [](const ::testing::TestParamInfo<Scene> &scene) { return std::string(scene.param.name); });

// The measure itself: a text that overflows is found with the room it had;
// one that is elided, wrapped or given room is not.
TEST(TextFitMeasure, FindsCutTextsOnlyWithTheirRoom)
{
    QWidget window;
    window.resize(300, 200);
    auto *cut = new QLabel(QStringLiteral("A text far too long for its label"), &window);
    cut->setObjectName(QStringLiteral("cut"));
    cut->setGeometry(0, 0, 60, 20);
    auto *fits = new QLabel(QStringLiteral("Fits"), &window);
    fits->setGeometry(0, 30, 100, 20);
    auto *wrapped = new QLabel(QStringLiteral("Wraps onto lines it has the height for"), &window);
    wrapped->setWordWrap(true);
    wrapped->setGeometry(0, 60, 100, 80);
    auto *shortOfLines = new QLabel(QStringLiteral("Wraps onto lines it has no height for at all"), &window);
    shortOfLines->setObjectName(QStringLiteral("shortOfLines"));
    shortOfLines->setWordWrap(true);
    shortOfLines->setGeometry(120, 0, 60, 20);
    auto *button = new QVBaseButton(QStringLiteral("Exit Full Screen"), &window);
    button->setObjectName(QStringLiteral("button"));
    button->setGeometry(120, 60, 50, 30);
    auto *outside = new QLabel(QStringLiteral("Out"), &window);
    outside->setObjectName(QStringLiteral("outside"));
    outside->setGeometry(280, 100, 40, 20);
    window.show();
    TestSupport::spin(20);

    QStringList where;
    for (const TextFit::Misfit &misfit : TextFit::misfitsIn(&window))
        where << misfit.where;
    where.removeDuplicates();
    EXPECT_EQ(where.size(), 4) << where.join(QStringLiteral(", ")).toStdString();
    for (const char *name : {"cut", "shortOfLines", "button", "outside"}) {
        EXPECT_TRUE(std::any_of(where.begin(), where.end(),
                                [name](const QString &at) { return at.contains(QLatin1String(name)); }))
            << name;
    }
}
