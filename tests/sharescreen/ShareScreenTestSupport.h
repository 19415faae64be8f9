#pragma once

// The casting screen in the main window's page host, over the fake casting
// library (the frame tests' fixture) and a fake file-share server on a
// loopback address of its own. The screen's file-share ports are the fake's
// port and, when a test asks for it, a port where nothing listens.

#include "FrameTestSupport.h"

#include "BaseViewController/View/QVCustomButton.h"
#include "BaseViewController/View/QVDefaultAlertController.h"
#include "BaseViewController/View/QVHaveInputAlertController.h"
#include "BaseViewController/View/QVLoadingView.h"
#include "Main/ViewController/Root/QVRootViewController.h"
#include "Main/ViewController/ShareScreen/QVFileTileView.h"
#include "Main/ViewController/ShareScreen/QVShareScreenViewController.h"

#include "FakeFileShareServer.h"

#include <QLabel>
#include <QTcpServer>

namespace ShareScreenTest {

inline const QString ScreenName = QStringLiteral("QVShareScreenViewController");
inline const QString ReceiverName = QStringLiteral("Meeting Room");

// A clock the test moves by hand.
struct ManualClock {
    std::shared_ptr<qint64> now = std::make_shared<qint64>(50000);
    QVFileTileView::Clock clock() const
    {
        return [now = now] { return *now; };
    }
    void advance(qint64 ms) const { *now += ms; }
};

// A port of `address` where nothing listens (it was free a moment ago).
inline QString closedPort(const QHostAddress &address)
{
    QTcpServer probe;
    if (!probe.listen(address, 0))
        return QStringLiteral("1");
    const quint16 port = probe.serverPort();
    probe.close();
    return QString::number(port);
}

class Fixture : public FrameTest::Fixture
{
protected:
    void SetUp() override
    {
        FrameTest::Fixture::SetUp();
        QVPublicTools::sharedPublicTools()->removeConnectStorageModel(storedRecordFor(address.toString()),
                                                                      QVPublicTools::ConnectTransferFileCodeKey);
        ASSERT_TRUE(server.listen(address));
        manager->setConnectDeviceModel(DeviceInformation(address.toString(), ReceiverName));
        standIn(QStringLiteral("QVDownLoadFileVC"), true);
        standIn(QStringLiteral("QVTransferFileViewController"), false);
        services.fileSharePorts = {QString::number(server.port())};
        services.freezeDelayMs = 30;
        services.tileClock = clock.clock();
        QVHttpTimings timings;
        timings.requestTimeout = std::chrono::milliseconds(3000);
        services.httpTimings = timings;
        screenOverride = std::make_unique<QVPageRegistry::Override>(ScreenName, [this]() -> QWidget * {
            return new QVShareScreenViewController(services);
        });
    }

    void TearDown() override
    {
        hostOwner.reset();
        screenOverride.reset();
        FrameTest::Fixture::TearDown();
    }

    static QVStorageModel storedRecordFor(const QString &ip)
    {
        QVStorageModel record;
        record.setDeviceIP(ip);
        return record;
    }

    // The main window's host with the screen in it, as after a connect;
    // waits until the receiver's functions are known.
    QVShareScreenViewController *openScreen(bool waitForProbe = true)
    {
        auto *root = new QVRootViewController;
        hostOwner.reset(root);
        host = root;
        host->resize(375, 640);
        host->show();
        host->showNextPageViewWithClassStr(ScreenName);
        const bool shown = TestSupport::waitFor([&] { return currentScreen() != nullptr; });
        EXPECT_TRUE(shown);
        if (!shown)
            return nullptr;
        screen = currentScreen();
        if (waitForProbe) {
            EXPECT_TRUE(TestSupport::waitFor([&] { return !screen->isProbingFileFunctions(); }, 10000));
        }
        settle();
        return screen;
    }

    QVShareScreenViewController *currentScreen() const
    {
        return host ? qobject_cast<QVShareScreenViewController *>(host->currentViewController()) : nullptr;
    }

    QString currentPageName() const
    {
        QWidget *page = host ? host->currentViewController() : nullptr;
        return page ? page->objectName() : QString();
    }

    // Lets queued reactions run, each through a few hands, then the
    // deferred deletions. What waits for the network or a timer is waited
    // for with waitFor() instead.
    static void settle()
    {
        for (int turn = 0; turn < 10; ++turn)
            TestSupport::runPostedEvents();
        FrameTest::runDeferredDeletes();
    }

    int callCount(const QString &call) const { return int(fake->calls.count(call)); }

    QHostAddress address = TestSupport::uniqueLoopbackAddress();
    FakeServers::FakeFileShareServer server;
    ManualClock clock;
    QVShareScreenServices services;
    std::unique_ptr<QVPageRegistry::Override> screenOverride;
    QPointer<QVRootViewController> host;
    // The host, or the window that holds it.
    std::unique_ptr<QWidget> hostOwner;
    QPointer<QVShareScreenViewController> screen;
};

} // namespace ShareScreenTest
