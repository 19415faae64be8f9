#include "FakeTavlin.h"

#include "Main/Model/QVKVOModel.h"
#include "PublicManager/QVLog.h"
#include "PublicManager/QVLogManager.h"
#include "PublicManager/QVShareManager.h"

#include "FakePlatform.h"
#include "TestSupport.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

namespace {

const TavlinError WrongCode(QStringLiteral("com.TavlinError.Domain"), 1);

class ShareManagerTest : public ::testing::Test
{
protected:
    void make(int resetMs = 60)
    {
        manager = std::make_unique<QVShareManager>(fakeServices(fake, capture, resetMs));
        model = manager->kvoModel();
        manager->setConnectDeviceStatusBlock([this](qint64 status) { outcomes.append(status); });
    }

    TavlinDelegate *library() const { return fake->delegate; }

    std::shared_ptr<FakeTavlin::Shared> fake = std::make_shared<FakeTavlin::Shared>();
    std::shared_ptr<Platform::Fake::FakeScreenCaptureAccess> capture =
        std::make_shared<Platform::Fake::FakeScreenCaptureAccess>();
    std::unique_ptr<QVShareManager> manager;
    QVKVOModel *model = nullptr;
    QList<qint64> outcomes;
};

QList<DeviceInformation> twoReceivers()
{
    return {DeviceInformation(QStringLiteral("192.0.2.10"), QStringLiteral("Room A")),
            DeviceInformation(QStringLiteral("192.0.2.11"), QStringLiteral("Room B"))};
}

} // namespace

TEST_F(ShareManagerTest, StartUpInstallsTheDriverAndAsksForPermissionsOnceTheEventLoopRuns)
{
    fake->sonvaleInstalled = false;
    fake->canRecordScreen = false;
    make();
    // Made at once; the rest, which may ask for a password, waits for the
    // event loop.
    EXPECT_EQ(fake->calls, QStringList{"made"});
    EXPECT_EQ(capture->requests, 0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return capture->requests == 1; }));
    EXPECT_EQ(fake->calls, (QStringList{"made", "isSonvaleInstalled", "installSonvalePlugin", "isCanRecordScreen",
                                        "takeAScreenShot"}));
    EXPECT_EQ(manager->tavlinSDK() != nullptr, true);
    EXPECT_FALSE(manager->connectStatus());
}

TEST_F(ShareManagerTest, StartUpLeavesAnInstalledDriverAndGrantedRecordingAlone)
{
    make();
    ASSERT_TRUE(TestSupport::waitFor([&] { return capture->requests == 1; }));
    EXPECT_EQ(fake->calls, (QStringList{"made", "isSonvaleInstalled", "isCanRecordScreen"}));
    EXPECT_EQ(fake->made, 1);
}

TEST_F(ShareManagerTest, AQuitWhileTheInstallationWaitsReleasesTheLibraryOnlyAfterIt)
{
    fake->sonvaleInstalled = false;
    // The installation waits for the password in a loop of its own; the
    // quit comes from inside it, as from the tray while the dialog is up.
    fake->onInstall = [this] {
        QEventLoop password;
        QTimer::singleShot(0, &password, [this] {
            fake->casting = true;
            manager->terminate();
            // Still there: the installation is running inside it.
            EXPECT_EQ(fake->destroyed, 0);
        });
        QTimer::singleShot(20, &password, &QEventLoop::quit);
        password.exec();
    };
    make();
    ASSERT_TRUE(TestSupport::waitFor([&] { return fake->destroyed == 1; }));
    EXPECT_EQ(fake->calls, (QStringList{"made", "isSonvaleInstalled", "installSonvalePlugin", "stopMirror",
                                        "destroyed"}));
    EXPECT_EQ(manager->tavlinSDK(), nullptr);
    // Start-up does not go on with a library that is gone.
    EXPECT_EQ(capture->requests, 0);
}

TEST_F(ShareManagerTest, TheModelStartsWithItsDefaults)
{
    make();
    EXPECT_FALSE(model->fileDoesNotExist());
    EXPECT_FALSE(model->uploadSuccess_deleteFail());
    EXPECT_FALSE(model->downLoadFileDoesNotExist());
    EXPECT_FALSE(model->localFileDoesNotExist());
    EXPECT_TRUE(model->deviceList().isEmpty());
    EXPECT_EQ(model->replyCastStatus(), 1);
    EXPECT_EQ(model->allowFullScreenStatus(), 1);
    EXPECT_EQ(model->fullScreenStatus(), 0);
    EXPECT_EQ(model->fullScreenStatusStyle(), 0);
    EXPECT_EQ(model->castScreenStatus(), 1);
    EXPECT_EQ(model->disconnectDeviceType(), 4);
    EXPECT_EQ(model->networkStatus(), 2);
    EXPECT_EQ(model->connectDeviceStatus(), 0);
    EXPECT_FALSE(model->versionInfoModel().isValid());
    EXPECT_TRUE(manager->deviceList().isEmpty());
    EXPECT_TRUE(manager->fileShareIp().isEmpty());
}

TEST_F(ShareManagerTest, ReceiverListAndNetworkReports)
{
    make();
    QSignalSpy listSpy(model, &QVKVOModel::deviceListChanged);
    QSignalSpy networkSpy(model, &QVKVOModel::networkStatusChanged);
    QStringList order;
    QObject::connect(model, &QVKVOModel::deviceListChanged, [&] { order.append(QStringLiteral("list")); });
    QObject::connect(model, &QVKVOModel::networkStatusChanged, [&] { order.append(QStringLiteral("network")); });

    library()->deviceListChanged(twoReceivers());
    ASSERT_EQ(listSpy.count(), 1);
    EXPECT_EQ(listSpy.at(0).at(0).value<QList<DeviceInformation>>(), twoReceivers());
    EXPECT_EQ(model->deviceList(), twoReceivers());

    // The same list again is told again.
    library()->deviceListChanged(twoReceivers());
    EXPECT_EQ(listSpy.count(), 2);

    order.clear();
    library()->networkUnreachable();
    EXPECT_EQ(order, (QStringList{"network", "list"}));
    EXPECT_EQ(model->networkStatus(), 1);
    EXPECT_TRUE(model->deviceList().isEmpty());

    order.clear();
    library()->networkReachable();
    EXPECT_EQ(order, QStringList{"network"});
    EXPECT_EQ(model->networkStatus(), 0);
    EXPECT_TRUE(model->deviceList().isEmpty());
    EXPECT_EQ(networkSpy.count(), 2);
}

TEST_F(ShareManagerTest, ConnectOutcomesReachTheBlock)
{
    make();
    EXPECT_TRUE(manager->connectDeviceWithIp(QStringLiteral("192.0.2.10")));
    library()->connectDeviceByIpNeedPwd();
    EXPECT_TRUE(manager->connectDeviceByIpCheckPwd(QStringLiteral("123456")));
    library()->connectDeviceWithError(WrongCode);
    EXPECT_EQ(manager->connectError(), WrongCode);
    library()->connectDeviceSuccess(ServerInfo{QStringLiteral("Room A"), QStringLiteral("192.0.2.10")});
    EXPECT_EQ(outcomes, (QList<qint64>{1, 2, 0}));
    EXPECT_TRUE(fake->calls.contains(QStringLiteral("connectDeviceByIp 192.0.2.10")));
    EXPECT_TRUE(fake->calls.contains(QStringLiteral("connectDeviceByIpCheckPwd 123456")));
    // The error stays until the next failure.
    EXPECT_EQ(manager->connectError(), WrongCode);

    // A refused start is told to the caller at once.
    fake->connectAnswer = false;
    EXPECT_FALSE(manager->connectDeviceWithIp(QStringLiteral("not an address")));
    fake->checkPwdAnswer = false;
    EXPECT_FALSE(manager->connectDeviceByIpCheckPwd(QStringLiteral("12345")));

    // Without a block the outcomes go nowhere.
    manager->setConnectDeviceStatusBlock({});
    library()->connectDeviceByIpNeedPwd();
    library()->connectDeviceSuccess(ServerInfo{});
    EXPECT_EQ(outcomes.size(), 3);
}

TEST_F(ShareManagerTest, ABlockMayReplaceItselfWhileItRuns)
{
    make();
    QList<qint64> second;
    manager->setConnectDeviceStatusBlock([&](qint64 status) {
        outcomes.append(status);
        manager->setConnectDeviceStatusBlock([&](qint64 next) { second.append(next); });
    });
    library()->connectDeviceByIpNeedPwd();
    library()->connectDeviceSuccess(ServerInfo{});
    EXPECT_EQ(outcomes, QList<qint64>{1});
    EXPECT_EQ(second, QList<qint64>{0});
}

TEST_F(ShareManagerTest, TheConnectedFlagFollowsTheSession)
{
    make();
    // A code accepted for sending is not a session.
    EXPECT_TRUE(manager->connectDeviceByIpCheckPwd(QStringLiteral("ABCDEFGH")));
    EXPECT_FALSE(manager->connectStatus());
    library()->connectDeviceWithError(WrongCode);
    EXPECT_FALSE(manager->connectStatus());

    // A receiver without a code is a session all the same.
    library()->connectDeviceSuccess(ServerInfo{QStringLiteral("Room A"), QStringLiteral("192.0.2.10")});
    EXPECT_TRUE(manager->connectStatus());

    QSignalSpy typeSpy(model, &QVKVOModel::disconnectDeviceTypeChanged);
    library()->deviceDidDisconnectWithError(TavlinError(QStringLiteral("com.TavlinError.Domain"), 2));
    EXPECT_FALSE(manager->connectStatus());
    ASSERT_EQ(typeSpy.count(), 1);
    EXPECT_EQ(typeSpy.at(0).at(0).toLongLong(), 2);
    EXPECT_EQ(model->disconnectDeviceType(), 2);

    // A report without an error ends the session but tells the model nothing.
    library()->connectDeviceSuccess(ServerInfo{});
    EXPECT_TRUE(manager->connectStatus());
    library()->deviceDidDisconnectWithError(std::nullopt);
    EXPECT_FALSE(manager->connectStatus());
    EXPECT_EQ(typeSpy.count(), 1);

    // The user's disconnect.
    library()->connectDeviceSuccess(ServerInfo{});
    fake->calls.clear();
    manager->disconnectWithDevice();
    EXPECT_EQ(fake->calls, QStringList{"disconnectWithDevice"});
    EXPECT_FALSE(manager->connectStatus());
    ASSERT_EQ(typeSpy.count(), 2);
    EXPECT_EQ(typeSpy.at(1).at(0).toLongLong(), 0);

    // A new connect ends the session before it without a report: when it
    // fails, no session is up and closing the window must not disconnect.
    library()->connectDeviceSuccess(ServerInfo{});
    EXPECT_TRUE(manager->connectStatus());
    library()->connectDeviceWithError(TavlinError(QStringLiteral("GCDAsyncSocketErrorDomain"), 3));
    EXPECT_FALSE(manager->connectStatus());
}

TEST_F(ShareManagerTest, CastReportsAndReceiverAnswers)
{
    make();
    QSignalSpy castSpy(model, &QVKVOModel::castScreenStatusChanged);
    library()->castSuccess();
    EXPECT_EQ(model->castScreenStatus(), 0);
    library()->castStopWithError(std::nullopt);
    EXPECT_EQ(model->castScreenStatus(), 1);
    library()->castSuccess();
    library()->castStopWithError(TavlinError(QStringLiteral("com.TavlinError.Domain"), 7));
    EXPECT_EQ(model->castScreenStatus(), 1);
    EXPECT_EQ(castSpy.count(), 4);

    library()->allowFullScreenStateChanged(0);
    EXPECT_EQ(model->allowFullScreenStatus(), 0);
    library()->fullScreenStateChanged(1);
    EXPECT_EQ(model->fullScreenStatusStyle(), 1);
    // The receiver's report does not stand for this program's request.
    EXPECT_EQ(model->fullScreenStatus(), 0);
    library()->replyCastRequest(2);
    EXPECT_EQ(model->replyCastStatus(), 2);
    library()->replyCastRequest(0);
    EXPECT_EQ(model->replyCastStatus(), 0);
}

TEST_F(ShareManagerTest, FullScreenAndFreezeRequests)
{
    make();
    QSignalSpy fullSpy(model, &QVKVOModel::fullScreenStatusChanged);
    EXPECT_TRUE(manager->setFullScreenStatus(1));
    EXPECT_EQ(model->fullScreenStatus(), 1);
    EXPECT_EQ(fullSpy.count(), 1);

    fake->fullScreenAnswer = false;
    EXPECT_FALSE(manager->setFullScreenStatus(0));
    EXPECT_EQ(model->fullScreenStatus(), 1);
    EXPECT_EQ(fullSpy.count(), 1);

    EXPECT_TRUE(manager->setPauseCastStatus(1));
    fake->pauseAnswer = false;
    EXPECT_FALSE(manager->setPauseCastStatus(0));
    EXPECT_TRUE(fake->calls.contains(QStringLiteral("setPauseCastStatus 1")));
    EXPECT_TRUE(fake->calls.contains(QStringLiteral("setPauseCastStatus 0")));

    fake->broadcast = QStringLiteral("extra");
    EXPECT_EQ(manager->getCustomBroadcastString(), QStringLiteral("extra"));
    manager->startMirror();
    manager->stopMirror();
    EXPECT_EQ(fake->calls.mid(fake->calls.size() - 3),
              (QStringList{"getCustomBroadcastString", "startMirror", "stopMirror"}));
}

TEST_F(ShareManagerTest, RequestsAndEventsAreLogged)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QVLogOptions options;
    options.folder = dir.path();
    options.console = false;
    options.asynchronous = false;
    QVLogManager().creatLogFile(options);

    make();
    manager->setPauseCastStatus(1);
    fake->fullScreenAnswer = false;
    manager->setFullScreenStatus(1);
    library()->networkReachable();
    library()->networkUnreachable();
    library()->allowFullScreenStateChanged(0);
    library()->connectDeviceSuccess(ServerInfo{QStringLiteral("Room A"), QStringLiteral("192.0.2.10")});
    library()->deviceDidDisconnectWithError(TavlinError(QStringLiteral("com.TavlinError.Domain"), 2));
    library()->deviceDidDisconnectWithError(std::nullopt);
    QVLog::flush();

    const QStringList files = QDir(dir.path()).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    QFile file(dir.filePath(files.first()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList messages;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(QStringLiteral(" | "));
        ASSERT_EQ(parts.size(), 3) << line.toStdString();
        EXPECT_EQ(parts.at(1), QStringLiteral("INFO"));
        messages.append(parts.at(2));
    }
    QVLog::shutdown();
    EXPECT_EQ(messages, (QStringList{
                            "QVShareManager 设置冻结投屏状态 tempPasueCastStatus = 1",
                            "QVShareManager 设置冻结投屏状态 status = 1",
                            "QVShareManager 设置独占屏幕状态 tempFullScreenStatus = 1",
                            "QVShareManager 设置独占屏幕状态 status = 0",
                            "QVShareManager 网络由不可用转为可用",
                            "QVShareManager 网络由可用转为不可用",
                            "QVShareManager 是否允许独占全屏 = 0",
                            "QVShareManager connectDeviceSuccess deviceName = Room A, ip = 192.0.2.10",
                            "deviceDidDisconnectWithError = Error Domain=com.TavlinError.Domain Code=2 \"(null)\"",
                            "deviceDidDisconnectWithError = (null)",
                        }));
}

TEST_F(ShareManagerTest, CallbacksFromOtherThreadsReachTheModelOnTheMainThread)
{
    make();
    QThread *mainThread = QThread::currentThread();
    QList<QThread *> writers;
    QObject::connect(model, &QVKVOModel::allowFullScreenStatusChanged, model,
                     [&] { writers.append(QThread::currentThread()); }, Qt::DirectConnection);
    QObject::connect(model, &QVKVOModel::replyCastStatusChanged, model,
                     [&] { writers.append(QThread::currentThread()); }, Qt::DirectConnection);
    QObject::connect(model, &QVKVOModel::fullScreenStatusStyleChanged, model,
                     [&] { writers.append(QThread::currentThread()); }, Qt::DirectConnection);
    QList<QThread *> blockThreads;
    manager->setConnectDeviceStatusBlock([&](qint64) { blockThreads.append(QThread::currentThread()); });

    TavlinDelegate *delegate = library();
    std::thread worker([delegate] {
        delegate->allowFullScreenStateChanged(0);
        delegate->fullScreenStateChanged(1);
        delegate->replyCastRequest(2);
        delegate->connectDeviceWithError(WrongCode);
    });
    worker.join();
    // Nothing has happened on the worker.
    EXPECT_TRUE(writers.isEmpty());
    EXPECT_EQ(model->replyCastStatus(), 1);

    ASSERT_TRUE(TestSupport::waitFor([&] { return writers.size() == 3 && blockThreads.size() == 1; }));
    for (QThread *thread : writers)
        EXPECT_EQ(thread, mainThread);
    EXPECT_EQ(blockThreads.first(), mainThread);
    EXPECT_EQ(model->allowFullScreenStatus(), 0);
    EXPECT_EQ(model->fullScreenStatusStyle(), 1);
    EXPECT_EQ(model->replyCastStatus(), 2);
    EXPECT_EQ(manager->connectError(), WrongCode);
}

TEST_F(ShareManagerTest, TheModelResetsSilentlyAfterADisconnect)
{
    make(60);
    library()->deviceListChanged(twoReceivers());
    library()->connectDeviceSuccess(ServerInfo{});
    library()->allowFullScreenStateChanged(0);
    library()->fullScreenStateChanged(1);
    library()->castSuccess();
    library()->replyCastRequest(0);
    library()->networkReachable();
    manager->setFullScreenStatus(1);
    model->setConnectDeviceStatus(3);
    model->setLocalFileDoesNotExist(true);
    model->setVersionInfoModel(QStringLiteral("offer"));

    manager->disconnectWithDevice();
    EXPECT_EQ(model->disconnectDeviceType(), 0);
    EXPECT_TRUE(model->isResetPending());

    // From here on nobody may be told anything.
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    const QMetaObject &meta = QVKVOModel::staticMetaObject;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        if (meta.method(i).methodType() == QMetaMethod::Signal)
            spies.push_back(std::make_unique<QSignalSpy>(model, meta.method(i)));
    }
    ASSERT_EQ(spies.size(), 14u);
    const auto told = [&] {
        int count = 0;
        for (const auto &spy : spies)
            count += static_cast<int>(spy->count());
        return count;
    };

    ASSERT_TRUE(TestSupport::waitFor([&] { return !model->isResetPending(); }));
    EXPECT_EQ(told(), 0);
    EXPECT_EQ(model->replyCastStatus(), 1);
    EXPECT_EQ(model->allowFullScreenStatus(), 1);
    EXPECT_EQ(model->fullScreenStatus(), 0);
    EXPECT_EQ(model->castScreenStatus(), 1);
    EXPECT_EQ(model->disconnectDeviceType(), 4);
    EXPECT_EQ(model->networkStatus(), 2);
    // Everything else keeps its value.
    EXPECT_EQ(model->deviceList(), twoReceivers());
    EXPECT_EQ(model->fullScreenStatusStyle(), 1);
    EXPECT_EQ(model->connectDeviceStatus(), 3);
    EXPECT_TRUE(model->localFileDoesNotExist());
    EXPECT_EQ(model->versionInfoModel().toString(), QStringLiteral("offer"));
}

TEST_F(ShareManagerTest, ALateResetNeverOverwritesANewSession)
{
    // Long enough that the new session below surely comes up within it.
    make(400);
    library()->connectDeviceSuccess(ServerInfo{});
    library()->castSuccess();
    library()->deviceDidDisconnectWithError(TavlinError(QStringLiteral("com.TavlinError.Domain"), 1));
    EXPECT_EQ(model->disconnectDeviceType(), 1);
    ASSERT_TRUE(model->isResetPending());

    // A new session comes up at once: the old session's reset happens now.
    library()->connectDeviceSuccess(ServerInfo{});
    EXPECT_FALSE(model->isResetPending());
    EXPECT_EQ(model->disconnectDeviceType(), 4);
    EXPECT_EQ(model->castScreenStatus(), 1);
    library()->allowFullScreenStateChanged(0);
    library()->castSuccess();
    manager->setFullScreenStatus(1);

    TestSupport::spin(600); // past the old reset's time, which must change nothing
    EXPECT_EQ(model->allowFullScreenStatus(), 0);
    EXPECT_EQ(model->castScreenStatus(), 0);
    EXPECT_EQ(model->fullScreenStatus(), 1);
}

TEST_F(ShareManagerTest, QuittingDuringACastStopsItAndEndsTheSession)
{
    make();
    library()->connectDeviceSuccess(ServerInfo{});
    library()->castSuccess();
    fake->casting = true;
    fake->connected = true;
    fake->calls.clear();

    manager->terminate();
    EXPECT_EQ(fake->calls, (QStringList{"stopMirror", "disconnectWithDevice", "destroyed"}));
    EXPECT_EQ(manager->tavlinSDK(), nullptr);
    EXPECT_FALSE(manager->connectStatus());

    // Afterwards every command is harmless.
    EXPECT_FALSE(manager->connectDeviceWithIp(QStringLiteral("192.0.2.10")));
    EXPECT_FALSE(manager->setPauseCastStatus(1));
    manager->startMirror();
    manager->disconnectWithDevice();
    manager->terminate();
    EXPECT_EQ(fake->destroyed, 1);
}

TEST_F(ShareManagerTest, QuittingWithoutASessionOnlyReleasesTheLibrary)
{
    make();
    fake->calls.clear();
    manager->terminate();
    EXPECT_EQ(fake->calls, QStringList{"destroyed"});
}

TEST_F(ShareManagerTest, ReleasingTheManagerReleasesTheLibraryOnce)
{
    make();
    manager.reset();
    EXPECT_EQ(fake->made, 1);
    EXPECT_EQ(fake->destroyed, 1);
    EXPECT_EQ(fake->delegate, nullptr);
}

TEST_F(ShareManagerTest, PermissionChecks)
{
    make();
    EXPECT_TRUE(manager->checkMicrophonePermission());
    EXPECT_TRUE(manager->checkPermissions());
    capture->allowed = false;
    EXPECT_FALSE(manager->checkRecordScreenPermission());
    EXPECT_FALSE(manager->checkPermissions());

    EXPECT_TRUE(manager->isInstallSoundCard());
    fake->calls.clear();
    EXPECT_TRUE(manager->checkScreenshotPermissions());
    fake->canRecordScreen = false;
    EXPECT_FALSE(manager->checkScreenshotPermissions());
    EXPECT_TRUE(fake->calls.contains(QStringLiteral("takeAScreenShot")));
    fake->canRecordScreen = true;
    fake->audioInstalled = false;
    EXPECT_FALSE(manager->checkScreenshotPermissions());
}
