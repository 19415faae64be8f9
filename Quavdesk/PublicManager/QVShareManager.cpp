#include "QVShareManager.h"

#include "Main/Model/QVKVOModel.h"
#include "QVLog.h"
#include "QVTavlinSDKAdapter.h"

#include "QVPlatform.h"
#include "TavlinLogText.h"
#include "TavlinServices.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <QThread>

QVShareManagerServices QVShareManagerServices::fromPlatform(const Platform::PlatformServices &platform)
{
    QVShareManagerServices services;
    services.tavlinFactory = [platform](TavlinDelegate *delegate) -> std::unique_ptr<QVTavlinInterface> {
        return std::make_unique<QVTavlinSDKAdapter>(delegate, TavlinServices::fromPlatform(platform));
    };
    services.screenCaptureAccess = platform.screenCaptureAccess;
    return services;
}

namespace {

QPointer<QVShareManager> &sharedInstance()
{
    static QPointer<QVShareManager> instance;
    return instance;
}

} // namespace

QVShareManager *QVShareManager::sharedShareManager()
{
    QPointer<QVShareManager> &instance = sharedInstance();
    if (!instance) {
        auto *manager = new QVShareManager(QVShareManagerServices::fromPlatform(QVPlatform::services()),
                                           QCoreApplication::instance());
        if (QCoreApplication *app = QCoreApplication::instance())
            connect(app, &QCoreApplication::aboutToQuit, manager, &QVShareManager::terminate);
        instance = manager;
    }
    return instance.data();
}

void QVShareManager::setSharedShareManager(QVShareManager *manager)
{
    sharedInstance() = manager;
}

QVShareManager::QVShareManager(QVShareManagerServices services, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_kvoModel(new QVKVOModel(m_services.timings.disconnectResetMs, this))
{
    initTavlinSDK();
}

QVShareManager::~QVShareManager()
{
    // The facade detaches this delegate as it goes.
    m_tavlinSDK.reset();
}

void QVShareManager::initTavlinSDK()
{
    if (!m_services.tavlinFactory)
        return;
    m_tavlinSDK = m_services.tavlinFactory(this);
    if (!m_tavlinSDK)
        return;
    // The rest may ask for the administrator's password: it waits for the
    // event loop, which by then shows the main window and keeps it, the tray
    // and quitting alive while the password is asked.
    QMetaObject::invokeMethod(this, &QVShareManager::finishStartUp, Qt::QueuedConnection);
}

void QVShareManager::finishStartUp()
{
    if (!m_tavlinSDK)
        return;
    if (!m_tavlinSDK->isSonvaleInstalled()) {
        m_installingDriver = true;
        m_tavlinSDK->installSonvalePlugin();
        m_installingDriver = false;
        if (m_releaseAfterInstall) {
            // The program quit while the installation waited.
            m_tavlinSDK.reset();
            return;
        }
    }
    if (!m_tavlinSDK->isCanRecordScreen())
        m_tavlinSDK->takeAScreenShot();
    checkMicrophonePermission();
    if (m_services.screenCaptureAccess)
        m_services.screenCaptureAccess->requestAccess();
}

void QVShareManager::onOwnThread(std::function<void()> work)
{
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// Permissions

bool QVShareManager::checkMicrophonePermission()
{
    // The desktop grants every program its sound input; there is nothing to ask.
    return true;
}

bool QVShareManager::checkRecordScreenPermission()
{
    return !m_services.screenCaptureAccess || m_services.screenCaptureAccess->canRecordScreen();
}

bool QVShareManager::checkPermissions()
{
    const bool microphone = checkMicrophonePermission();
    const bool screen = checkRecordScreenPermission();
    return microphone && screen;
}

bool QVShareManager::isInstallSoundCard()
{
    return m_tavlinSDK && m_tavlinSDK->isSonvaleInstalled();
}

bool QVShareManager::checkScreenshotPermissions()
{
    if (!m_tavlinSDK)
        return false;
    const bool canRecord = m_tavlinSDK->isCanRecordScreen();
    if (!canRecord)
        m_tavlinSDK->takeAScreenShot();
    return canRecord && m_tavlinSDK->isTavlinAudioInstalled();
}

// ---------------------------------------------------------------------------
// Commands

bool QVShareManager::connectDeviceWithIp(const QString &ip)
{
    return m_tavlinSDK && m_tavlinSDK->connectDeviceByIp(ip);
}

bool QVShareManager::connectDeviceByIpCheckPwd(const QString &code)
{
    // Accepting the code for sending says nothing about the session; the
    // connected flag waits for the library's report.
    return m_tavlinSDK && m_tavlinSDK->connectDeviceByIpCheckPwd(code);
}

void QVShareManager::disconnectWithDevice()
{
    if (m_tavlinSDK)
        m_tavlinSDK->disconnectWithDevice();
    m_kvoModel->setDisconnectDeviceType(0);
    m_connectStatus = false;
}

QString QVShareManager::getCustomBroadcastString() const
{
    return m_tavlinSDK ? m_tavlinSDK->getCustomBroadcastString() : QString();
}

void QVShareManager::startMirror()
{
    if (m_tavlinSDK)
        m_tavlinSDK->startMirror();
}

void QVShareManager::stopMirror()
{
    if (m_tavlinSDK)
        m_tavlinSDK->stopMirror();
}

bool QVShareManager::setPauseCastStatus(qint64 status)
{
    QVLogInfo(0, QStringLiteral("QVShareManager 设置冻结投屏状态 tempPasueCastStatus = %1").arg(status));
    const bool result = m_tavlinSDK && m_tavlinSDK->setPauseCastStatus(status);
    QVLogInfo(0, QStringLiteral("QVShareManager 设置冻结投屏状态 status = %1").arg(result ? 1 : 0));
    return result;
}

bool QVShareManager::setFullScreenStatus(qint64 status)
{
    QVLogInfo(0, QStringLiteral("QVShareManager 设置独占屏幕状态 tempFullScreenStatus = %1").arg(status));
    const bool result = m_tavlinSDK && m_tavlinSDK->setFullScreenStatus(status);
    QVLogInfo(0, QStringLiteral("QVShareManager 设置独占屏幕状态 status = %1").arg(result ? 1 : 0));
    if (result)
        m_kvoModel->setFullScreenStatus(status);
    return result;
}

void QVShareManager::terminate()
{
    if (!m_tavlinSDK)
        return;
    if (m_tavlinSDK->isCasting())
        m_tavlinSDK->stopMirror();
    if (m_connectStatus || m_tavlinSDK->isConnected())
        m_tavlinSDK->disconnectWithDevice();
    m_connectStatus = false;
    if (m_installingDriver) {
        // The facade is inside the installation, further down this very
        // call stack: it goes as soon as the installation returns.
        m_releaseAfterInstall = true;
        return;
    }
    // Releasing the facade ends whatever is still running, cast included.
    m_tavlinSDK.reset();
}

// ---------------------------------------------------------------------------
// Library callbacks

QString QVShareManager::describeError(const OptionalTavlinError &error)
{
    if (!error)
        return QStringLiteral("(null)");
    return QStringLiteral("Error Domain=%1 Code=%2 \"%3\"")
        .arg(error->domain)
        .arg(error->code)
        .arg(error->description.isEmpty() ? QStringLiteral("(null)") : error->description);
}

void QVShareManager::callConnectDeviceStatusBlock(qint64 status)
{
    if (m_connectDeviceStatusBlock) {
        // The block may replace itself while it runs.
        const auto block = m_connectDeviceStatusBlock;
        block(status);
    }
}

void QVShareManager::deviceListChanged(const QList<DeviceInformation> &devices)
{
    onOwnThread([this, devices] {
        m_kvoModel->setDeviceList(devices);
        for (const DeviceInformation &device : devices)
            qInfo().noquote() << QStringLiteral("%1:%2").arg(escapedForLog(device.deviceName()), device.deviceIP());
    });
}

void QVShareManager::connectDeviceByIpNeedPwd()
{
    onOwnThread([this] { callConnectDeviceStatusBlock(1); });
}

void QVShareManager::connectDeviceSuccess(ServerInfo serverInfo)
{
    onOwnThread([this, serverInfo] {
        QVLogInfo(0, QStringLiteral("QVShareManager connectDeviceSuccess deviceName = %1, ip = %2")
                         .arg(escapedForLog(serverInfo.deviceName), serverInfo.deviceIP));
        // The reset that the last session's end scheduled happens now, before
        // the new session reports anything it could overwrite.
        m_kvoModel->applyPendingReset();
        m_connectStatus = true;
        callConnectDeviceStatusBlock(0);
    });
}

void QVShareManager::connectDeviceWithError(const TavlinError &error)
{
    onOwnThread([this, error] {
        m_connectError = error;
        // A connect that failed leaves no session, whatever came before it.
        m_connectStatus = false;
        callConnectDeviceStatusBlock(2);
    });
}

void QVShareManager::deviceDidDisconnectWithError(const OptionalTavlinError &error)
{
    onOwnThread([this, error] {
        QVLogInfo(0, QStringLiteral("deviceDidDisconnectWithError = %1").arg(describeError(error)));
        if (error)
            m_kvoModel->setDisconnectDeviceType(error->code);
        // Whatever the report carries, the session is over.
        m_connectStatus = false;
    });
}

void QVShareManager::castSuccess()
{
    onOwnThread([this] { m_kvoModel->setCastScreenStatus(0); });
}

void QVShareManager::castStopWithError(const OptionalTavlinError & /*error*/)
{
    onOwnThread([this] { m_kvoModel->setCastScreenStatus(1); });
}

void QVShareManager::networkReachable()
{
    onOwnThread([this] {
        QVLogInfo(0, QStringLiteral("QVShareManager 网络由不可用转为可用"));
        m_kvoModel->setNetworkStatus(0);
    });
}

void QVShareManager::networkUnreachable()
{
    onOwnThread([this] {
        QVLogInfo(0, QStringLiteral("QVShareManager 网络由可用转为不可用"));
        m_kvoModel->setNetworkStatus(1);
        m_kvoModel->setDeviceList({});
    });
}

void QVShareManager::allowFullScreenStateChanged(qint64 state)
{
    onOwnThread([this, state] {
        QVLogInfo(0, QStringLiteral("QVShareManager 是否允许独占全屏 = %1").arg(state));
        m_kvoModel->setAllowFullScreenStatus(state);
    });
}

void QVShareManager::fullScreenStateChanged(qint64 state)
{
    onOwnThread([this, state] { m_kvoModel->setFullScreenStatusStyle(state); });
}

void QVShareManager::replyCastRequest(qint64 reply)
{
    onOwnThread([this, reply] { m_kvoModel->setReplyCastStatus(reply); });
}
