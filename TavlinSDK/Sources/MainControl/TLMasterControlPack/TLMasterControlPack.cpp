#include "MainControl/TLMasterControlPack/TLMasterControlPack.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <limits>

#include "TavlinSDK.h"
#include "Utils/ProtocolTimer.h"
#include "Utils/TavlinGlobal/DynamicPortTable.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace {

const QString kClientNameKey = QStringLiteral("TavlinMacClientName");

// The whole number a version text starts with ("12" of "12.3"), 0 when none.
qint64 leadingNumber(const QString &text)
{
    qint64 value = 0;
    for (const QChar ch : text) {
        if (ch < u'0' || ch > u'9' || value > (std::numeric_limits<qint64>::max() - 9) / 10)
            break;
        value = value * 10 + (ch.unicode() - u'0');
    }
    return value;
}

bool validPort(qint64 port)
{
    return port >= 1 && port <= 65535;
}

} // namespace

MasterControlServices MasterControlServices::fromPlatform(const Platform::PlatformServices &platform)
{
    MasterControlServices services;
    services.cast = CastPackServices::fromPlatform(platform);
    services.screenCaptureAccess = platform.screenCaptureAccess;
    services.store = platform.store;
    return services;
}

QString MasterControlServices::currentVersionName() const
{
    return versionName.value_or(QCoreApplication::applicationVersion());
}

qint64 MasterControlServices::currentVersionCode() const
{
    if (versionCode)
        return *versionCode;
    const QCoreApplication *application = QCoreApplication::instance();
    const QVariant build = application ? application->property(TavlinSDK::ApplicationBuildProperty) : QVariant();
    // An application that sets no build number is known by its version.
    return leadingNumber(build.isValid() ? build.toString() : currentVersionName());
}

TLMasterControlPack::TLMasterControlPack(MasterControlPackDelegate *delegate, MasterControlServices services,
                                         QObject *parent)
    : QObject(parent), m_delegate(delegate), m_services(std::move(services))
{
    ProtocolTimer::setUp(m_masterConTimer, this, ProtocolTimer::kHeartbeat, false);
    connect(&m_masterConTimer, &QTimer::timeout, this, &TLMasterControlPack::masterConTimerTick);
    ProtocolTimer::setUp(m_directCastTimer, this, ProtocolTimer::kDirectCastKeepAlive, false);
    connect(&m_directCastTimer, &QTimer::timeout, this, &TLMasterControlPack::directCastTick);
    ProtocolTimer::setUp(m_castRequestTimer, this, ProtocolTimer::kCastRequest, true);
    connect(&m_castRequestTimer, &QTimer::timeout, this, &TLMasterControlPack::castRequestTimedOut);
    m_castPack = std::make_unique<TLCastPack>(this, m_services.cast);
}

TLMasterControlPack::~TLMasterControlPack()
{
    m_ended = true;
    m_masterConTimer.stop();
    m_directCastTimer.stop();
    m_castRequestTimer.stop();
    // A running cast ends quietly, with the sound and the display restored.
    m_castPack.reset();
    for (GCDAsyncSocket *socket : {m_masterControlSocket.data(), m_directCastSocket.data()}) {
        if (socket && socket->delegate() == this) {
            socket->setDelegate(nullptr);
            socket->disconnect();
        }
    }
}

bool TLMasterControlPack::isLive() const
{
    return m_started && !m_ended && TavlinGlobal::getIsConnecting();
}

QString TLMasterControlPack::clientName() const
{
    if (m_services.clientName)
        return m_services.clientName();
    return m_services.store ? m_services.store->value(kClientNameKey).toString() : QString();
}

// ---------------------------------------------------------------------------
// Session start and heartbeat

bool TLMasterControlPack::startMasterControlPack()
{
    if (m_started)
        return m_isSupportMasterControl && !m_ended;
    m_started = true;
    // 1.
    TavlinGlobal::setIsConnecting(true);
    // 2. The cast session exists from the constructor on.
    // Nothing is known of this receiver until its first heartbeat reply.
    TavlinGlobal::setCastMode(-1);
    TavlinGlobal::setMultiScreen(-1);
    TavlinGlobal::setMirrorMode(-1);
    TavlinGlobal::setCastState(-1);
    // 3.
    const DevicePtr chosen = TavlinGlobal::getChoseDevice();
    m_isSupportMasterControl = chosen && TavlinGlobal::isSupportMasterCon(chosen->mServer_features);
    TavlinGlobal::setIsSupportMasterCon(m_isSupportMasterControl);
    if (!m_isSupportMasterControl)
        return false;
    // 4.
    m_attemptIsReconnect = false;
    createMasterControlSocket();
    // 5.
    m_masterControlHeartBeatIndex = 0;
    sendHeartbeat();
    sendClientInformation();
    startMasterConTimer();
    // 6.
    return true;
}

void TLMasterControlPack::createMasterControlSocket()
{
    m_framer.reset();
    const DevicePtr chosen = TavlinGlobal::getChoseDevice();
    const qint64 port = DynamicPortTable::getDynamicPort_57395();
    if (!chosen || !validPort(port)) {
        m_masterControlSocket.clear();
        return;
    }
    // The factory closes and detaches the connection it replaces.
    m_masterControlSocket = TavlinGlobal::createMasterConGCDAsyncSocket(chosen->mHostIp, quint16(port), this);
}

void TLMasterControlPack::sendHeartbeat()
{
    TavlinGlobal::sendCommandToReceive(MasterControlCodec::heartbeat(m_masterControlHeartBeatIndex));
    ++m_masterControlHeartBeatIndex;
}

void TLMasterControlPack::sendClientInformation()
{
    MasterControlCodec::ClientInformation info;
    info.clientName = clientName();
    info.versionName = m_services.currentVersionName();
    info.versionCode = m_services.currentVersionCode();
    info.isTouchable = m_isTouchable;
    TavlinGlobal::sendCommandToReceive(MasterControlCodec::clientInformation(info));
}

void TLMasterControlPack::startMasterConTimer()
{
    m_masterConTimer.stop();
    m_masterConTimer.setInterval(m_services.timings.heartbeatIntervalMs);
    m_masterConTimer.start();
}

void TLMasterControlPack::masterConTimerTick()
{
    if (!isLive())
        return;
    // 1.
    ++m_masterConTimeout;
    if (m_masterConTimeout > kHeartbeatMissLimit) {
        m_masterConTimeout = 0;
        if (countAbandonedReconnect())
            return;
        reconnect();
    }
    // 2.
    if (m_masterControlHeartBeatIndex > kHeartbeatIndexLimit)
        m_masterControlHeartBeatIndex = 0;
    // 3.
    sendHeartbeat();
}

void TLMasterControlPack::reconnect()
{
    m_isMasterConSocketReconnect = true;
    m_attemptIsReconnect = true;
    m_attemptAnswered = false;
    m_attemptCounted = false;
    createMasterControlSocket();
}

bool TLMasterControlPack::countAbandonedReconnect()
{
    if (!m_attemptIsReconnect || m_attemptAnswered || m_attemptCounted)
        return false;
    m_attemptCounted = true;
    return countFailedReconnect();
}

bool TLMasterControlPack::countFailedReconnect()
{
    if (TavlinGlobal::getIsRecasting())
        m_masterConSocketReconnectCount = 0;
    ++m_masterConSocketReconnectCount;
    if (m_masterConSocketReconnectCount <= kReconnectFailureLimit)
        return false;
    m_isMasterConSocketReconnect = false;
    m_masterConTimeout = 0;
    m_masterConSocketReconnectCount = 0;
    m_masterConTimer.stop();
    // Ends the session from the event loop, not from inside a socket or
    // timer callback.
    QMetaObject::invokeMethod(this, &TLMasterControlPack::giveUp, Qt::QueuedConnection);
    return true;
}

void TLMasterControlPack::giveUp()
{
    if (!isLive())
        return;
    disconnectOperator(DisconnectReasonHeartbeatTimeout);
}

// ---------------------------------------------------------------------------
// Socket events

void TLMasterControlPack::socketDidConnectToHost(GCDAsyncSocket *sock, const QString & /*host*/, quint16 port)
{
    if (!isLive())
        return;
    if (sock == m_masterControlSocket && port == DynamicPortTable::getDynamicPort_57395()
        && m_isMasterConSocketReconnect) {
        qInfo("~~~here enter master con reconnect succeed!~~~");
        m_isMasterConSocketReconnect = false;
        m_masterConTimeout = 0;
        // The failures are forgotten at the first heartbeat reply, not here:
        // a receiver that accepts and never answers must still end the session.
        m_masterControlHeartBeatIndex = 0;
        startMasterConTimer();
    } else if (sock == m_directCastSocket && port == DynamicPortTable::getDynamicPort_51060()) {
        qInfo("direct cast is connect~~~");
    }
}

void TLMasterControlPack::socketDidDisconnect(GCDAsyncSocket *sock, const OptionalTavlinError & /*error*/)
{
    if (!isLive() || sock != m_masterControlSocket || sock != TavlinGlobal::getMasterConSocket())
        return;
    if (!m_isMasterConSocketReconnect || m_attemptCounted)
        return;
    m_attemptCounted = true;
    countFailedReconnect();
}

void TLMasterControlPack::socketDidReadData(GCDAsyncSocket *sock, const QByteArray &data, qint64 tag)
{
    // Once the session has ended nothing the receiver says is acted on.
    if (!isLive())
        return;
    if ((sock && sock == m_directCastSocket) || tag == TavlinGlobal::kDirectCastCommandTag) {
        handleDirectCastAnswer(data);
        if (sock && sock == m_directCastSocket && isLive())
            sock->readDataWithTimeout(-1, TavlinGlobal::kDirectCastTag);
        return;
    }
    if (sock != m_masterControlSocket)
        return;
    const QList<QByteArray> lines = m_framer.feed(data);
    for (const QByteArray &line : lines) {
        if (!isLive())
            return;
        handleLine(line);
    }
    // A read always waits, so a reply that comes in pieces is taken as its
    // pieces come, not one piece per heartbeat.
    if (isLive() && sock == m_masterControlSocket)
        sock->readDataWithTimeout(-1, TavlinGlobal::kMasterControlReadTag);
}

void TLMasterControlPack::handleLine(const QByteArray &line)
{
    const std::optional<MasterControlCodec::ReceiverMessage> message = MasterControlCodec::classify(line);
    if (!message)
        return;
    using Kind = MasterControlCodec::ReceiverMessage::Kind;
    switch (message->kind) {
    case Kind::ReplyHeartbeat:
        handleHeartbeatReply(*message);
        break;
    case Kind::ReplyClientInfo:
        TavlinGlobal::setServerRotation(message->rotation);
        TavlinGlobal::setServerPlatform(message->platform);
        if (message->deviceName)
            TavlinGlobal::setChoseDeviceName(*message->deviceName);
        break;
    case Kind::ReplyCastRequest:
        handleCastReply(message->replyCastRequest);
        break;
    case Kind::ReportInfo:
        TavlinGlobal::sendCommandToReceive(MasterControlCodec::replyInfo());
        TavlinGlobal::setServerRotation(message->rotation);
        if (message->deviceName)
            TavlinGlobal::setChoseDeviceName(*message->deviceName);
        break;
    case Kind::DisconnectClient:
    case Kind::InviteCast:
    case Kind::CancelCastInvite:
    case Kind::ReplyExitFullscreen:
        break;
    }
}

void TLMasterControlPack::handleHeartbeatReply(const MasterControlCodec::ReceiverMessage &message)
{
    // 1.
    m_masterConTimeout = 0;
    m_attemptAnswered = true;
    m_masterConSocketReconnectCount = 0;

    // 2. Whether the receiver allows full screen (not in its multi-screen layout).
    const qint64 storedMultiScreen = TavlinGlobal::getMultiScreen();
    const qint64 multiScreen = message.multiScreen;
    if (multiScreen != storedMultiScreen) {
        std::optional<qint64> allow;
        if (storedMultiScreen == -1)
            allow = multiScreen == 1 ? 0 : 1;
        else if (storedMultiScreen == 1)
            allow = 1;
        else if (multiScreen == 1)
            allow = 0;
        if (allow && m_delegate)
            m_delegate->masterControlPack_allowFullScreenStateChanged(*allow);
    }

    // 3. Whether the running cast is shown full screen.
    if (m_castPack->isCasting() && message.castState != TavlinGlobal::getCastState() && m_delegate) {
        if (message.castState == 1)
            m_delegate->masterControlPack_fullScreenStateChanged(0);
        else if (message.castState == 2)
            m_delegate->masterControlPack_fullScreenStateChanged(1);
    }

    // 4.
    TavlinGlobal::setMultiScreen(message.multiScreen);
    TavlinGlobal::setCastMode(message.castMode);
    TavlinGlobal::setCastState(message.castState);
    TavlinGlobal::setMirrorMode(message.mirrorMode);
}

void TLMasterControlPack::handleCastReply(qint64 reply)
{
    if (m_castPack->isCasting())
        return;
    if (m_castRequestAbandoned && !m_castRequestTimer.isActive()) {
        // The application was told "timed out" already; a late "yes" must
        // not start a cast nobody waits for.
        m_castRequestAbandoned = false;
        qInfo("late answer to an abandoned cast request dropped: %lld", static_cast<long long>(reply));
        return;
    }
    m_castRequestTimer.stop();
    if (reply == 1)
        m_castPack->castOperator(1);
    if (m_delegate)
        m_delegate->masterControlPack_replyCastRequest(reply);
}

void TLMasterControlPack::castRequestTimedOut()
{
    if (!isLive())
        return;
    qInfo("cast request unanswered; given up as timed out");
    m_castRequestAbandoned = true;
    if (m_delegate)
        m_delegate->masterControlPack_replyCastRequest(kCastRequestTimedOut);
}

// ---------------------------------------------------------------------------
// Operations

void TLMasterControlPack::startMirror()
{
    const qint64 castMode = TavlinGlobal::getCastMode();
    if (!isLive()) {
        qInfo("start mirror after the session ended: refused");
    } else if (m_castPack->isCasting() || m_castPack->isCast()) {
        qInfo("a cast is already running; start refused");
    } else if (castMode == 1) {
        m_castPack->castOperator(1);
        return;
    } else if (castMode == 2) {
        TavlinGlobal::sendCommandToReceive(MasterControlCodec::castRequest());
        m_castRequestAbandoned = false;
        m_castRequestTimer.start(m_services.timings.castRequestTimeoutMs);
        return;
    } else {
        qInfo("the receiver allows no cast (cast mode %lld); start refused", static_cast<long long>(castMode));
    }
    // A start that starts nothing says so at once, as a refusal, so that the
    // caller never waits for an answer that cannot come.
    if (m_delegate)
        m_delegate->masterControlPack_replyCastRequest(0);
}

void TLMasterControlPack::stopMirror()
{
    // A stop also withdraws a cast request still waiting for its answer.
    if (m_castRequestTimer.isActive()) {
        m_castRequestTimer.stop();
        m_castRequestAbandoned = true;
    }
    m_castPack->castOperator(0);
}

bool TLMasterControlPack::setPasueCast(qint64 status)
{
    if (!m_castPack->isCasting())
        return false;
    m_castPack->pauseResumeCast(status);
    return true;
}

bool TLMasterControlPack::fullScreenOperator(qint64 status)
{
    if (!m_castPack->isCasting())
        return false;
    const qint64 castMode = TavlinGlobal::getCastMode();
    if (castMode != 1 && castMode != 2)
        return true;
    const qint64 castState = TavlinGlobal::getCastState();
    if (castState == 0)
        return false;
    if (castState == 1 && status == 1)
        TavlinGlobal::sendCommandToReceive(MasterControlCodec::fullScreenRequest());
    else if (castState == 2 && status == 0)
        TavlinGlobal::sendCommandToReceive(MasterControlCodec::exitFullScreen());
    return true;
}

void TLMasterControlPack::disconnectOperator(qint64 reason)
{
    if (m_ended)
        return;
    // 1.
    qInfo("enter disconnect :%lld", static_cast<long long>(reason));
    m_ended = true;
    TavlinGlobal::setIsConnecting(false);
    m_masterConTimer.stop();
    m_directCastTimer.stop();
    m_castRequestTimer.stop();
    m_castRequestAbandoned = false;
    m_isMasterConSocketReconnect = false;
    m_masterConTimeout = 0;
    m_masterConSocketReconnectCount = 0;
    // 2.
    m_castPack->castOperator(0);
    // 3.
    if (!TavlinGlobal::getIsSupportMasterCon())
        TavlinGlobal::sayByebye();
    // 4.
    m_isSupportMasterControl = false;
    TavlinGlobal::setIsSupportMasterCon(false);
    // 5. Then the connection goes: nothing the receiver sends later can
    // reach an ended session.
    if (reason == DisconnectReasonByUser)
        TavlinGlobal::sendCommandToReceive(MasterControlCodec::disconnect());
    closeSockets(reason == DisconnectReasonByUser);
    // 6.
    TavlinGlobal::setIsPauseCast(false);
    TavlinGlobal::setIsConnectByIp(false);
    TavlinGlobal::setIsConnectByPin(false);
    TavlinGlobal::setConnectPin(QString());
    // 7.
    if (reason >= DisconnectReasonByUser && reason <= DisconnectReasonScreenLocked && m_delegate)
        m_delegate->masterControlPack_deviceDidDisconnectWithError(TavlinGlobal::errorForDisconnectReason(reason));
    // 8.
    TavlinGlobal::setMultiScreen(-1);
    TavlinGlobal::setCastMode(-1);
    TavlinGlobal::setCastState(-1);
    TavlinGlobal::setMirrorMode(-1);
}

void TLMasterControlPack::closeSockets(bool afterWriting)
{
    if (GCDAsyncSocket *socket = m_masterControlSocket.data()) {
        socket->setDelegate(nullptr);
        if (afterWriting)
            socket->disconnectAfterWriting();
        else
            socket->disconnect();
    }
    if (GCDAsyncSocket *socket = m_directCastSocket.data()) {
        socket->setDelegate(nullptr);
        socket->disconnect();
    }
}

bool TLMasterControlPack::canRecordScreen()
{
    return m_services.screenCaptureAccess && m_services.screenCaptureAccess->canRecordScreen();
}

void TLMasterControlPack::showScreenRecordingPrompt()
{
    if (m_services.screenCaptureAccess)
        m_services.screenCaptureAccess->requestAccess();
}

// ---------------------------------------------------------------------------
// Cast session events, passed on unchanged

void TLMasterControlPack::castPack_castSuccess()
{
    if (m_delegate)
        m_delegate->masterControlPack_castSuccess();
}

void TLMasterControlPack::castPack_castStopWithError(const OptionalTavlinError &error)
{
    if (m_delegate)
        m_delegate->masterControlPack_castStopWithError(error);
}

// ---------------------------------------------------------------------------
// Direct-cast keep-alive

void TLMasterControlPack::startDirectCastRelated()
{
    qInfo("start directCast heartBeat!");
    m_directCastTimer.stop();
    m_directCastTimer.setInterval(m_services.timings.directCastIntervalMs);
    m_directCastTimer.start();
}

void TLMasterControlPack::directCastTick()
{
    const DevicePtr chosen = TavlinGlobal::getChoseDevice();
    ++m_directCastTimeout;
    if (m_directCastTimeout > kDirectCastMissLimit) {
        m_directCastTimer.stop();
        const qint64 port = DynamicPortTable::getDynamicPort_51060();
        if (chosen && validPort(port))
            m_directCastSocket = TavlinGlobal::createDirectCastGCDAsyncSocket(chosen->mHostIp, quint16(port), this);
        m_directCastTimer.start();
        m_directCastTimeout = 0;
        qInfo("directCast heratbeat timeout！！！！！");
    }
    const QString ip = chosen ? chosen->mHostIp : QString();
    TavlinGlobal::directCastSendCommandToReceive(
        MasterControlCodec::directCastKeepAlive(ip, m_directCastHeartBeatIndex, clientName(), m_castPack->isCasting()));
    ++m_directCastHeartBeatIndex;
}

void TLMasterControlPack::handleDirectCastAnswer(const QByteArray &data)
{
    m_directCastTimeout = 0;
    const std::optional<qint64> command = MasterControlCodec::directCastCommand(data);
    if (!command)
        return;
    if (*command == MasterControlCodec::kDirectCastStartCommand)
        qInfo("recv start command from receiver");
    else if (*command == MasterControlCodec::kDirectCastStopCommand)
        qInfo("recv stop command from receiver");
}
