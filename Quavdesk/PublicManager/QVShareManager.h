#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

#include "DeviceInformation.h"
#include "ServerInfo.h"
#include "TavlinDelegate.h"
#include "TavlinError.h"

#include "Platform/PlatformServices.h"
#include "Platform/ScreenCaptureAccess.h"

#include "QVTavlinInterface.h"

class QVKVOModel;

// Every interval the share manager waits on, in milliseconds.
struct QVShareManagerTimings {
    // From a disconnect to the silent reset of the session model.
    int disconnectResetMs = 1000;
};

using QVTavlinFactory = std::function<std::unique_ptr<QVTavlinInterface>(TavlinDelegate *delegate)>;

// What the share manager is built from. fromPlatform() gives the casting
// library's facade over the program's platform services; tests hand in fakes.
struct QVShareManagerServices {
    QVTavlinFactory tavlinFactory;
    std::shared_ptr<Platform::ScreenCaptureAccess> screenCaptureAccess;
    QVShareManagerTimings timings;

    static QVShareManagerServices fromPlatform(const Platform::PlatformServices &platform);
};

// The program's one bridge to the casting library. It owns the facade,
// answers its callbacks by writing the observable session model, and passes
// the pages' commands on. Lives on the main thread: callbacks that reach it on
// any other thread are carried over before they touch any state.
class QVShareManager : public QObject, public TavlinDelegate
{
    Q_OBJECT
public:
    // The process's instance: the one installed with setSharedShareManager(),
    // else one over the program's platform services (QVPlatform), made on
    // first use, that ends any cast and session when the application quits.
    static QVShareManager *sharedShareManager();
    // Makes `manager` the process's instance (it is not taken over). The
    // program installs the one it builds at start-up; tests install theirs
    // before they make pages.
    static void setSharedShareManager(QVShareManager *manager);

    explicit QVShareManager(QVShareManagerServices services, QObject *parent = nullptr);
    ~QVShareManager() override;

    // True while a session with a receiver is up: set when the library
    // reports the connection, cleared by every disconnect.
    bool connectStatus() const { return m_connectStatus; }
    void setConnectStatus(bool value) { m_connectStatus = value; }

    // Told the outcome of each connect: 0 connected, 1 casting code needed,
    // 2 connect failed (the error is in connectError()).
    std::function<void(qint64)> connectDeviceStatusBlock() const { return m_connectDeviceStatusBlock; }
    void setConnectDeviceStatusBlock(std::function<void(qint64)> block) { m_connectDeviceStatusBlock = std::move(block); }

    // Nothing shows this list; the pages read the model's.
    QList<DeviceInformation> deviceList() const { return m_deviceList; }

    QVKVOModel *kvoModel() const { return m_kvoModel; }

    // The error of the last failed connect, kept until the next one.
    TavlinError connectError() const { return m_connectError; }

    // The receiver the program is connected or connecting to.
    DeviceInformation connectDeviceModel() const { return m_connectDeviceModel; }
    void setConnectDeviceModel(const DeviceInformation &model) { m_connectDeviceModel = model; }

    // Base address of the connected receiver's file-share server,
    // "http://<address>:<port>"; kept after a disconnect.
    QString fileShareIp() const { return m_fileShareIp; }
    void setFileShareIp(const QString &value) { m_fileShareIp = value; }

    // Null after terminate().
    QVTavlinInterface *tavlinSDK() const { return m_tavlinSDK.get(); }

    bool checkMicrophonePermission();
    bool checkRecordScreenPermission();
    // Both checks always run; true only when both pass.
    bool checkPermissions();
    bool isInstallSoundCard();
    bool checkScreenshotPermissions();

    // Commands of the pages.
    // The outcome arrives through the connect-outcome block; false when the
    // library refused to start the connect, in which case none will.
    bool connectDeviceWithIp(const QString &ip);
    // True when the library accepted the code for sending.
    bool connectDeviceByIpCheckPwd(const QString &code);
    void disconnectWithDevice();
    QString getCustomBroadcastString() const;
    void startMirror();
    void stopMirror();
    bool setPauseCastStatus(qint64 status);
    bool setFullScreenStatus(qint64 status);

    // The quit path: stops a cast (which gives the sound back to the user's
    // output), ends a session, and releases the library, whose end hands
    // what the two queued for the receiver ("TEARDOWN", the disconnect
    // message) to the system at once, without waiting on the receiver: the
    // program may end right after. Later commands do nothing.
    void terminate();

    // TavlinDelegate
    void deviceListChanged(const QList<DeviceInformation> &devices) override;
    void connectDeviceByIpNeedPwd() override;
    void connectDeviceSuccess(ServerInfo serverInfo) override;
    void connectDeviceWithError(const TavlinError &error) override;
    void deviceDidDisconnectWithError(const OptionalTavlinError &error) override;
    void castSuccess() override;
    void castStopWithError(const OptionalTavlinError &error) override;
    void networkReachable() override;
    void networkUnreachable() override;
    void allowFullScreenStateChanged(qint64 state) override;
    void fullScreenStateChanged(qint64 state) override;
    void replyCastRequest(qint64 reply) override;

    static QString describeError(const OptionalTavlinError &error);

private:
    void initTavlinSDK();
    void callConnectDeviceStatusBlock(qint64 status);
    // Runs `work` now when on the manager's thread, else queued to it.
    void onOwnThread(std::function<void()> work);

    QVShareManagerServices m_services;
    bool m_connectStatus = false;
    std::function<void(qint64)> m_connectDeviceStatusBlock;
    QList<DeviceInformation> m_deviceList;
    QVKVOModel *m_kvoModel = nullptr;
    TavlinError m_connectError;
    DeviceInformation m_connectDeviceModel;
    QString m_fileShareIp;
    std::unique_ptr<QVTavlinInterface> m_tavlinSDK;
};
