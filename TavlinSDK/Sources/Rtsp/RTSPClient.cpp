#include "Rtsp/RTSPClient.h"

#include <QCoreApplication>
#include <QVariantMap>

#include "Platform/TcpOptions.h"
#include "Rtsp/NotificationCenter.h"
#include "Rtsp/RTSPPlistBodies.h"
#include "Socket/SocketErrors.h"
#include "Utils/ProtocolTimer.h"
#include "Utils/TavlinGlobal/DynamicPortTable.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"
#include "Utils/settings/settings.h"

namespace {

const QString kClientNameKey = QStringLiteral("TavlinMacClientName");
const QString kAppleBrand = QStringLiteral("Apple");

// User value of the control socket.
constexpr qint64 kSocketLive = 0;
constexpr qint64 kSocketClosedHere = 1;

} // namespace

RTSPClientServices RTSPClientServices::fromPlatform(const Platform::PlatformServices &platform)
{
    RTSPClientServices services;
    services.senders = MirrorSenderFactory::fromPlatform(platform);
    services.store = platform.store;
    services.userInfo = platform.userInfo;
    return services;
}

RTSPClient::RTSPClient(DevicePtr device, RTSPClientServices services, QObject *parent)
    : QObject(parent), m_services(std::move(services)), m_mDevice(std::move(device))
{
    if (!m_mDevice)
        m_mDevice = std::make_shared<Device>();

    m_sendPara = true;
    m_rtspSocket = new GCDAsyncSocket(this, this);
    m_rtspSocket->setControlConnectionLimits();
    m_isCpuBrandOfApple = TavlinGlobal::getMacCpuChipBrand() == kAppleBrand;

    const MirrorSenderFactory &factory = m_services.senders;
    if (m_isCpuBrandOfApple) {
        if (factory.makeVideoSession)
            m_video = factory.makeVideoSession(m_mDevice);
    } else if (factory.makeVideoDisplaySession) {
        m_video = factory.makeVideoDisplaySession(m_mDevice);
    }
    if (factory.makeRemoteController)
        m_mRemoteController = factory.makeRemoteController(m_mDevice);

    ProtocolTimer::setUp(m_timer, this, ProtocolTimer::kCastKeepAlive, false);
    connect(&m_timer, &QTimer::timeout, this, &RTSPClient::onTick);
    m_graceTimer.setSingleShot(true);
    connect(&m_graceTimer, &QTimer::timeout, this, [this] {
        // The receiver is not taking our bytes: cut the connection rather than
        // wait on it.
        if (m_rtspSocket)
            m_rtspSocket->disconnect();
    });
}

RTSPClient::~RTSPClient()
{
    m_timer.stop();
    m_graceTimer.stop();
    if (m_rtspSocket) {
        m_rtspSocket->setDelegate(nullptr);
        // A stopped cast's "TEARDOWN" still leaves, even when the client goes
        // before the event loop could send it (the program ending).
        if (m_stopping)
            m_rtspSocket->disconnectAfterWritingNow();
        else
            m_rtspSocket->disconnect();
    }
    if (m_started)
        stopSenders();
}

void RTSPClient::setMonitorCallback(std::function<void(qint32)> callback)
{
    m_monitorblock = std::move(callback);
}

void RTSPClient::startMrror()
{
    if (m_started || !m_rtspSocket)
        return;
    m_started = true;

    const qint64 port = DynamicPortTable::getDynamicPort_51040();
    TavlinError error;
    const bool started = port >= 1 && port <= 65535
                         && m_rtspSocket->connectToHost(m_mDevice->mHostIp, static_cast<quint16>(port),
                                                        m_services.timings.connectTimeoutMs, &error);
    if (!started) {
        // The connect did not even start: say so, or the cast would wait for
        // a connection that never comes.
        qInfo("rtsp connect failed: %s", qUtf8Printable(error.description));
        report(MirrorSocketStatusOther);
        return;
    }
    m_timeout = 0;
    m_rtspSocket->setUserData(kSocketLive);
}

void RTSPClient::stopMirror()
{
    if (!m_rtspSocket || m_stopping)
        return;
    if (!m_rtspSocket->isConnected()) {
        // A connect still under way is called off: however late the receiver
        // answers, nothing of this cast may start once the user pressed stop.
        if (!m_rtspSocket->isDisconnected()) {
            m_stopping = true;
            stopTimer();
            m_rtspSocket->setUserData(kSocketClosedHere);
            m_rtspSocket->disconnect();
        }
        return;
    }
    if (m_video)
        m_video->setPauseCast(false);
    if (m_mAudioSession)
        m_mAudioSession->setPauseCast(false);
    teardown();
    m_stopping = true;
    m_rtspSocket->setUserData(kSocketClosedHere);
    m_rtspSocket->disconnectAfterWriting();

    // Nothing streams once the user pressed stop, whether or not the
    // receiver takes the last request.
    stopTimer();
    stopSenders();
    m_graceTimer.start(m_services.timings.stopGraceMs);
}

bool RTSPClient::isBusy() const
{
    return !m_rtspSocket.isNull();
}

void RTSPClient::setMirrorPause(bool pause)
{
    if (m_video)
        m_video->setPauseResumeMark(pause);
    if (m_mAudioSession)
        m_mAudioSession->setPauseCast(pause);
}

bool RTSPClient::getPauseMark() const
{
    return m_video ? m_video->pauseCast() : false;
}

void RTSPClient::sendScreenChange()
{
    m_sendPara = true;
    sendRtspComand(QStringLiteral("SET_PARAMETER"), {}, {}, TagSetParameter);
}

void RTSPClient::socketDidConnectToHost(GCDAsyncSocket *sock, const QString &, quint16)
{
    if (m_stopping)
        return;
    sock->performBlock([sock] {
        if (!Platform::TcpOptions::setNoDelay(sock->socketFD()))
            qInfo("ryle,tcp nodelay fail....");
    });
    report(MirrorSocketStatusConnected);
    armRead();
    setupVideo();
    // Until the keep-alive takes over, the same tick bounds the wait for the
    // "SETUP" replies.
    startTimer();
}

void RTSPClient::socketDidReadData(GCDAsyncSocket *sock, const QByteArray &data, qint64)
{
    m_readArmed = false;
    m_bytesSinceTick = true;
    m_framer.append(data);
    while (std::optional<RTSPCodec::Reply> reply = m_framer.next()) {
        handleReply(*reply);
        if (!m_rtspSocket || !sock->isConnected())
            return;
    }
    armRead();
}

void RTSPClient::socketDidDisconnect(GCDAsyncSocket *sock, const OptionalTavlinError &error)
{
    if (error && error->domain == SocketErrors::kGCDAsyncSocketErrorDomain
        && error->code == SocketErrors::GCDAsyncSocketConnectTimeoutError) {
        report(MirrorSocketStatusConnectTimeout);
        return;
    }

    const qint64 userData = sock->userData();
    std::optional<qint32> status;
    if (userData == kSocketLive)
        status = MirrorSocketStatusClosedByServer;
    else if (userData != kSocketClosedHere)
        status = MirrorSocketStatusOther;

    m_stopping = true;
    stopSenders();
    sock->setDelegate(nullptr);
    sock->deleteLater();
    m_rtspSocket.clear();
    stopTimer();
    m_graceTimer.stop();
    m_framer.clear();
    m_pendingTags.clear();

    if (status)
        report(*status);
}

void RTSPClient::setupVideo()
{
    sendRtspComand(QStringLiteral("SETUP"), {}, RTSPPlistBodies::videoSetupBody(machineName()), TagSetupVideo);
}

void RTSPClient::setupAudio()
{
    sendRtspComand(QStringLiteral("SETUP"), {}, RTSPPlistBodies::audioSetupBody(), TagSetupAudio);
}

void RTSPClient::teardown()
{
    sendRtspComand(QStringLiteral("TEARDOWN"), {}, RTSPPlistBodies::teardownBody(), TagTeardown);
}

void RTSPClient::optinos()
{
    if (!m_rtspSocket)
        return;
    if (m_timeout < kKeepAliveLimit) {
        // A receiver that is slow to take our bytes is not a lost one: send
        // nothing more and count nothing while writes pile up.
        if (m_rtspSocket->queneCount() > 1)
            return;
        ++m_timeout;
        sendRtspComand(QStringLiteral("OPTIONS"), {}, {}, TagOptions);
        return;
    }
    giveUp();
}

void RTSPClient::giveUp()
{
    // Heartbeat lost: close without "TEARDOWN"; the close is marked as this
    // side's, so the status below is the only one.
    m_timeout = 0;
    m_stopping = true;
    stopTimer();
    stopSenders();
    if (m_rtspSocket) {
        m_rtspSocket->setUserData(kSocketClosedHere);
        m_rtspSocket->disconnect();
    }
    report(MirrorSocketStatusHeartbeatLost);
}

void RTSPClient::onTick()
{
    // A reply whose rest has not come within a whole tick is taken as it is,
    // without its body, so that a short-changing receiver does not stall the
    // pairing of replies and requests.
    if (!m_bytesSinceTick && m_framer.hasPartial()) {
        if (std::optional<RTSPCodec::Reply> partial = m_framer.takePartial())
            handleReply(*partial);
    }
    m_bytesSinceTick = false;
    if (m_stopping)
        return;

    if (m_streaming) {
        optinos();
        return;
    }
    // Still waiting for a "SETUP" reply: the receiver has as long as it has
    // to answer the keep-alive.
    if (++m_timeout >= kKeepAliveLimit)
        giveUp();
}

void RTSPClient::sendRtspComand(const QString &method, const QList<QPair<QString, QString>> &headers,
                                const QByteArray &body, qint64 tag)
{
    if (!m_rtspSocket)
        return;
    ++m_mSeq;
    std::optional<qint64> aspectRatio;
    if (m_sendPara) {
        aspectRatio = settings::getKeepAspectValue();
        m_sendPara = false;
    }
    const QByteArray head = RTSPCodec::requestHead(method, m_mDevice->mHostIp, m_mSeq, aspectRatio, body.size(), headers);
    m_rtspSocket->writeData(head, -1, tag);
    m_rtspSocket->writeData(body, -1, tag);
    m_pendingTags.append(tag);
}

void RTSPClient::handleReply(const RTSPCodec::Reply &reply)
{
    if (m_pendingTags.isEmpty()) {
        qInfo("rtsp reply without a request, ignored");
        return;
    }
    const qint64 tag = m_pendingTags.takeFirst();
    // Once the cast is ending, no reply may start a sender again.
    if (m_stopping && tag != TagTeardown)
        return;
    switch (tag) {
    case TagSetupVideo:
        m_timeout = 0;
        if (m_video) {
            m_video->startMrror();
            QPointer<RTSPClient> self(this);
            m_video->setMonitorCallback([self](qint32 status) {
                if (self)
                    self->report(status);
            });
        }
        if (m_mRemoteController)
            m_mRemoteController->startController();
        setupAudio();
        break;
    case TagSetupAudio: {
        std::optional<quint16> port;
        if (reply.body)
            port = RTSPPlistBodies::audioDataPort(*reply.body);
        if (port && m_services.senders.makeAudioSession) {
            m_mAudioSession = m_services.senders.makeAudioSession(m_mDevice, *port);
            if (m_mAudioSession) {
                if (getPauseMark())
                    m_mAudioSession->setPauseCast(true);
                m_mAudioSession->start();
            }
        } else if (!port) {
            qInfo("rtsp audio setup reply names no usable data port, casting without sound");
        }
        m_streaming = true;
        m_timeout = 0;
        optinos();
        startTimer();
        if (m_sendPara)
            sendRtspComand(QStringLiteral("SET_PARAMETER"), {}, {}, TagSetParameter);
        break;
    }
    case TagOptions:
        m_timeout = 0;
        if (!TavlinGlobal::getIsWindowReceiver() && RTSPCodec::isValidUtf8(reply.raw))
            checkChangeEncoderAttribute(reply.body);
        break;
    case TagTeardown:
        if (m_rtspSocket)
            m_rtspSocket->disconnect();
        break;
    default:
        break;
    }
}

void RTSPClient::checkChangeEncoderAttribute(const std::optional<QByteArray> &body)
{
    if (!body)
        return;
    const std::optional<RTSPCodec::EncoderChange> change = RTSPCodec::parseEncoderChange(*body);
    if (!change)
        return;
    QVariantMap object;
    object.insert(EncoderAttributeNotification::kWidthKey, QString::number(change->width));
    object.insert(EncoderAttributeNotification::kHeightKey, QString::number(change->height));
    object.insert(EncoderAttributeNotification::kFpsKey, QString::number(change->fps));
    NotificationCenter::defaultCenter()->postNotification(m_isCpuBrandOfApple
                                                              ? EncoderAttributeNotification::kAppleSiliconName
                                                              : EncoderAttributeNotification::kIntelName,
                                                          object);
}

void RTSPClient::startTimer()
{
    stopTimer();
    m_timer.start(m_services.timings.keepAliveIntervalMs);
}

void RTSPClient::stopTimer()
{
    m_timer.stop();
}

void RTSPClient::stopSenders()
{
    if (m_sendersStopped)
        return;
    m_sendersStopped = true;
    if (m_video)
        m_video->stopMirror();
    if (m_mAudioSession)
        m_mAudioSession->stop();
    if (m_mRemoteController)
        m_mRemoteController->stopController();
}

void RTSPClient::armRead()
{
    if (m_readArmed || !m_rtspSocket)
        return;
    m_readArmed = true;
    m_rtspSocket->readDataWithTimeout(-1, 0);
}

void RTSPClient::report(qint32 status)
{
    // Delivered from the event loop with the application as the context, so
    // the owner can stop and destroy this client inside its callback.
    QPointer<RTSPClient> self(this);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, status] {
            if (!self || !self->m_monitorblock)
                return;
            const std::function<void(qint32)> callback = self->m_monitorblock;
            callback(status);
        },
        Qt::QueuedConnection);
}

QByteArray RTSPClient::machineName() const
{
    const QVariant stored = m_services.store ? m_services.store->value(kClientNameKey) : QVariant();
    if (stored.isValid() && !stored.toString().isEmpty())
        return stored.toString().toUtf8();
    return m_services.userInfo ? m_services.userInfo->accountName().toUtf8() : QByteArray();
}
