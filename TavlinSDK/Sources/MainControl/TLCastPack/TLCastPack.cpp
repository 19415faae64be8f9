#include "MainControl/TLCastPack/TLCastPack.h"

#include <QMetaObject>
#include <QPointer>

#include "AudioSwitcher/AudioSwitcher.h"
#include "Rtsp/MirrorSocketStatus.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

CastPackServices CastPackServices::fromPlatform(const Platform::PlatformServices &platform)
{
    CastPackServices services;
    // Without the real senders a production cast would set up its control
    // session and stream nothing.
    services.rtsp = RTSPClientServices::fromPlatform(platform);
    services.soundDevices = platform.soundDevices;
    services.displaySleepInhibitor = platform.displaySleepInhibitor;
    return services;
}

TLCastPack::TLCastPack(CastPackDelegate *delegate, CastPackServices services, QObject *parent)
    : QObject(parent), m_delegate(delegate), m_services(std::move(services))
{
    if (!m_services.controlFactory)
        m_services.controlFactory = RTSPCastControl::factory(m_services.rtsp);
    m_pauseTimer.setSingleShot(true);
    m_pauseTimer.setInterval(m_services.timings.pauseDelayMs);
    connect(&m_pauseTimer, &QTimer::timeout, this, &TLCastPack::pauseCast);
}

TLCastPack::~TLCastPack()
{
    m_pauseTimer.stop();
    if (m_isCast || m_mRtspClient) {
        endCast(true);
        TavlinGlobal::setIsRecasting(false);
    }
    m_stoppedControls.clear();
}

OptionalTavlinError TLCastPack::errorForStatus(qint32 status)
{
    switch (status) {
    case MirrorSocketStatusOther:
        return TavlinError(QStringLiteral("MIRROR_SOCKET_CONNECT_FAILED"), status);
    case MirrorSocketStatusConnectTimeout:
        return TavlinError(QStringLiteral("MIRROR_SOCKET_CLOSE_BY_TIMEOUT"), status);
    case MirrorSocketStatusClosedByServer:
        return TavlinError(QStringLiteral("MIRROR_SOCKET_CLOSE_BY_SERVEREXIT"), status);
    case MirrorSocketStatusHeartbeatLost:
        return TavlinError(QStringLiteral("MIRROR_SOCKET_CLOSE_BY_HEARTBEAT_TIMEOUT"), status);
    default:
        return std::nullopt;
    }
}

void TLCastPack::castOperator(qint64 operation)
{
    if (operation != 0) {
        qInfo("user start mirror------");
        // A second start would leave the running cast streaming with nobody
        // to stop it, and remember the virtual device as the user's output.
        if (m_mRtspClient || m_isCast) {
            qInfo("a cast is already running; start ignored");
            return;
        }
        startMirror(TavlinGlobal::getChoseDevice());
        return;
    }
    // A cast whose connection already ended, with its status still on the
    // way, is stopped too: its sound output and display must come back.
    if (!isMirroring() && !m_isCast)
        return;
    qInfo("user stop mirror....");
    stopCastPack();
    if (m_delegate)
        m_delegate->castPack_castStopWithError(std::nullopt);
}

bool TLCastPack::isCasting() const
{
    return m_mRtspClient && m_mRtspClient->isBusy();
}

bool TLCastPack::isMirroring() const
{
    return isCasting();
}

void TLCastPack::pauseResumeCast(qint64 operation)
{
    if (!m_mRtspClient)
        return;
    const bool paused = m_mRtspClient->getPauseMark();
    if (operation == 1) {
        if (!paused && !m_pauseTimer.isActive())
            m_pauseTimer.start();
    } else if (operation == 0) {
        // The last request wins: a freeze still waiting is called off.
        m_pauseTimer.stop();
        if (paused)
            m_mRtspClient->setMirrorPause(false);
    }
}

void TLCastPack::pauseCast()
{
    if (m_mRtspClient)
        m_mRtspClient->setMirrorPause(true);
}

void TLCastPack::startMirror(const DevicePtr &device)
{
    // 1-2. The control session with its status callback.
    m_mRtspClient = m_services.controlFactory(device ? device : std::make_shared<Device>());
    if (!m_mRtspClient)
        return;
    CastControlSession *control = m_mRtspClient.get();
    const QPointer<TLCastPack> self(this);
    control->setMonitorCallback([self, control](qint32 status) {
        if (self)
            self->onStatus(control, status);
    });
    // 3. The display stays on.
    keepScreenOn();
    // 4. Connect.
    control->startMrror();
    // 5. The sound goes to the virtual device; the output to return to is
    // the one that plays now.
    if (m_services.soundDevices) {
        m_defaultAudioId = currentOutputDeviceID(*m_services.soundDevices);
        mute_on();
    }
    TavlinGlobal::setDefaultAudioId(m_defaultAudioId);
    // 6.
    m_isCast = true;
    TavlinGlobal::setIsCasting(true);
}

void TLCastPack::onStatus(CastControlSession *control, qint32 status)
{
    // A session that was already let go has nothing more to say.
    if (control != m_mRtspClient.get())
        return;
    if (status == MirrorSocketStatusConnected) {
        if (m_delegate)
            m_delegate->castPack_castSuccess();
        return;
    }
    const OptionalTavlinError error = errorForStatus(status);
    if (!error || !TavlinGlobal::getIsConnecting())
        return;
    stopCastPack();
    if (status == MirrorSocketStatusConnectTimeout && m_isCancelRecast)
        m_isCancelRecast = false;
    if (m_delegate)
        m_delegate->castPack_castStopWithError(error);
}

void TLCastPack::stopCastPack()
{
    // 1.
    m_recastCount = 0;
    m_isCancelRecast = false;
    TavlinGlobal::setIsRecasting(false);
    // 2-5.
    endCast(true);
}

void TLCastPack::endCast(bool resetPause)
{
    m_isCast = false;
    m_pauseTimer.stop();
    dropControl();
    mute_off();
    stopWakeTimer();
    TavlinGlobal::setIsCasting(false);
    if (resetPause)
        TavlinGlobal::setIsPauseCast(false);
}

void TLCastPack::dropControl()
{
    if (!m_mRtspClient)
        return;
    std::unique_ptr<CastControlSession> control = std::move(m_mRtspClient);
    control->setMonitorCallback({});
    control->stopMirror();
    // The caller may be inside this session's own callback, and its last
    // request is still on its way: it goes a little later.
    CastControlSession *raw = control.get();
    m_stoppedControls.push_back(std::move(control));
    QTimer::singleShot(m_services.timings.stoppedControlLingerMs, this, [this, raw] {
        m_stoppedControls.remove_if([raw](const std::unique_ptr<CastControlSession> &c) { return c.get() == raw; });
    });
}

void TLCastPack::keepScreenOn()
{
    m_assertionID = 0;
    if (m_services.displaySleepInhibitor)
        m_assertionID = m_services.displaySleepInhibitor->inhibit(QString::fromLatin1(kKeepScreenOnReason));
    if (m_assertionID == 0)
        qInfo("fail to keep screen from lock");
}

void TLCastPack::stopWakeTimer()
{
    if (m_assertionID == 0)
        return;
    if (m_services.displaySleepInhibitor)
        m_services.displaySleepInhibitor->release(m_assertionID);
    m_assertionID = 0;
}

void TLCastPack::mute_on()
{
    if (m_services.soundDevices)
        set_output_device_by_name(*m_services.soundDevices, kSonvaleDeviceName);
}

void TLCastPack::mute_off()
{
    // Never "none": that would silence the machine or pick a device at random.
    if (m_services.soundDevices && m_defaultAudioId != 0)
        set_output_device_id(*m_services.soundDevices, m_defaultAudioId);
}

void TLCastPack::recastPack()
{
    if (QObject *window = TavlinGlobal::getOnlyWindow()) {
        // The application's window, if it is one, comes to the front.
        for (const char *slot : {"raise", "activateWindow"}) {
            if (window->metaObject()->indexOfMethod(QByteArray(slot).append("()").constData()) >= 0)
                QMetaObject::invokeMethod(window, slot, Qt::DirectConnection);
        }
    }
    TavlinGlobal::setIsRecasting(true);
    recastOperator();
}

void TLCastPack::recastOperator()
{
    ++m_recastCount;
    if (m_recastCount < kRecastLimit) {
        // The pause state carries over into the new cast.
        endCast(false);
        startMirror(TavlinGlobal::getChoseDevice());
        return;
    }
    recastCancelPack();
}

void TLCastPack::recastCancelPack()
{
    m_recastCount = 0;
    m_isCancelRecast = false;
    TavlinGlobal::setIsRecasting(false);
    endCast(false);
}

void TLCastPack::recastSuccessPack()
{
    m_recastCount = 0;
    m_isCancelRecast = false;
    TavlinGlobal::setIsRecasting(false);
}
