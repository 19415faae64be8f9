#include "MainControl/TLConnectPack/TLConnectPack.h"

#include <QCoreApplication>
#include <QDebug>
#include <cerrno>

#include "PinCode/PinCode.h"
#include "Socket/SocketErrors.h"
#include "Utils/ProtocolTimer.h"
#include "Utils/TavlinGlobal/DynamicPortTable.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

using HandshakeCodec::HandshakeReply;

namespace {

const QString kTavlinErrorDomain = QStringLiteral("com.TavlinError.Domain");

QString localized(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

} // namespace

TLConnectPack::TLConnectPack(ConnectPackDelegate *delegate, const ConnectPackTimings &timings, QObject *parent)
    : QObject(parent), m_delegate(delegate), m_timings(timings)
{
    ProtocolTimer::setUp(m_whetherGetDeviceNameTimer, this, ProtocolTimer::kNameWait, true);
    connect(&m_whetherGetDeviceNameTimer, &QTimer::timeout, this, &TLConnectPack::nameWaitFired);
    ProtocolTimer::setUp(m_checkPasswordTimer, this, ProtocolTimer::kCodeCheck, true);
    connect(&m_checkPasswordTimer, &QTimer::timeout, this, [this] {
        reopenAfterReadTimeout(TavlinError(SocketErrors::kAsyncSocketErrorDomain,
                                           SocketErrors::AsyncSocketReadTimeoutError,
                                           QStringLiteral("Read operation timed out")));
    });
    ProtocolTimer::setUp(m_deadlineTimer, this, ProtocolTimer::kHandshakeDeadline, true);
    connect(&m_deadlineTimer, &QTimer::timeout, this, &TLConnectPack::deadlinePassed);
}

TLConnectPack::~TLConnectPack()
{
    // The connection stays with the session; it only stops reporting here.
    if (m_socket && m_socket->delegate() == this)
        m_socket->setDelegate(nullptr);
}

TavlinError TLConnectPack::wrongCodeError()
{
    // The description is the localised "connect device fail"; the reason and
    // the suggestion of the error are the texts of "use wrong password!" and
    // "please check password, then try again!", which the application shows
    // from the same keys.
    return TavlinError(kTavlinErrorDomain, 1, localized(QT_TRANSLATE_NOOP("Localizable", "connect device fail")));
}

QString TLConnectPack::getCustomBroadcastStrPack() const
{
    return m_customBroadcastStr;
}

void TLConnectPack::reset()
{
    // The road's shared flags are set once the connection has started: until
    // then they may still be the session's before this one.
    m_isSocketConnected_8121 = false;
    m_ipDeviceHasPasw = false;
    m_isPassConnect = false;
    m_isDirectConnect = false;
    m_isAlreadyConnected = false;
    m_customBroadcastStr = QStringLiteral("");
    m_whetherGetDeviceNameTimer.stop();
    m_nameWaitAfterConnect = false;
    m_checkPasswordTimer.stop();
    m_deadlineTimer.stop();
}

bool TLConnectPack::openSocket(const QString &host, const std::function<void()> &whenStarted)
{
    m_framer.reset();
    m_endReported = false;
    m_pendingEndError.reset();
    m_isSocketConnected_8121 = false;
    // A port request of a connection that ends is never answered.
    m_portReplyPending = false;
    m_socket = TavlinGlobal::CreateSocket(host, m_timings.handshakePort, this, m_timings.connectTimeoutMs, whenStarted);
    return !m_socket.isNull();
}

bool TLConnectPack::isCurrent(AsyncSocket *sock) const
{
    return sock && sock == m_socket.data() && TavlinGlobal::getAsyncSocket_8121() == sock;
}

bool TLConnectPack::connectDeviceByIp(const QString &ip, const std::function<void()> &whenStarted)
{
    reset();
    m_connectIp = ip;
    if (!openSocket(m_connectIp, whenStarted))
        return false;
    TavlinGlobal::setIsConnectByPin(false);
    TavlinGlobal::setIsConnectByIp(true);
    TavlinGlobal::checkIfPaswExist();
    m_chosenDevice = std::make_shared<Device>();
    m_chosenDevice->mHostIp = m_connectIp;
    sendGetServerInfoPack();
    m_whetherGetDeviceNameTimer.start(m_timings.nameWaitMs);
    m_deadlineTimer.start(m_timings.handshakeDeadlineMs);
    return true;
}

bool TLConnectPack::connectDeviceByPin(const QString &code, const std::function<void()> &whenStarted)
{
    reset();
    m_connectPin = code;
    if (!m_pinCode) {
        m_pinCode = std::make_unique<PinCode>();
        m_pinCode->initMaxComb();
    }
    QString address;
    if (code.size() == 6) {
        address = m_pinCode->sixNumberPinToIP(code);
        qInfo().noquote() << QStringLiteral("sixPinToIp:%1").arg(address);
    } else if (code.size() == 8) {
        address = m_pinCode->eightCharPinToIP(code);
        qInfo().noquote() << QStringLiteral("eightPinToIp:%1").arg(address);
    } else {
        return false;
    }
    if (address.isEmpty())
        return false;

    if (!openSocket(address, whenStarted))
        return false;
    TavlinGlobal::setIsConnectByIp(false);
    TavlinGlobal::setIsConnectByPin(true);
    TavlinGlobal::setConnectPin(code);
    m_connectIp = address;
    m_chosenDevice = std::make_shared<Device>();
    m_chosenDevice->mHostIp = address;
    sendGetServerInfoPack();
    m_deadlineTimer.start(m_timings.handshakeDeadlineMs);
    return true;
}

void TLConnectPack::connectDeviceByIpCheckPwd(const QString &code)
{
    sendCheckPassword(code);
}

void TLConnectPack::sendGetServerInfoPack()
{
    if (!m_socket)
        return;
    m_socket->writeData(HandshakeCodec::serverInfoRequest(), -1, 0);
    m_socket->readDataWithTimeout(-1, 0);
}

void TLConnectPack::sendCheckPassword(const QString &code)
{
    if (!m_socket || TavlinGlobal::getAsyncSocket_8121() != m_socket.data())
        return;
    if (TavlinGlobal::checkPassword(code, m_timings.checkPasswordTimeoutMs)) {
        // The verdict has a wait of its own.
        m_deadlineTimer.stop();
        m_checkPasswordTimer.start(m_timings.checkPasswordTimeoutMs);
    }
}

void TLConnectPack::nameWaitFired()
{
    if (!m_isSocketConnected_8121) {
        // The connect itself took the wait: give the receiver the full wait
        // once it is connected.
        m_nameWaitAfterConnect = true;
        return;
    }
    if (TavlinGlobal::getIsConnectByIp() && m_chosenDevice && m_chosenDevice->mDevicename.isNull()) {
        m_chosenDevice->mDevicename = QStringLiteral("");
        m_chosenDevice->mServer_features = 0;
        connectCheck();
    }
}

void TLConnectPack::connectCheck()
{
    if (!m_chosenDevice)
        return;
    m_isDirectConnect = false;
    applyReceiverFeatures();
    const qint64 features = m_chosenDevice->mServer_features;
    const bool dynamicPorts = (features & FeatureBits::kDynamicPorts) != 0;

    if (!m_ipDeviceHasPasw && (features & FeatureBits::kCastingCodeConfigured) == 0) {
        if (dynamicPorts) {
            m_isDirectConnect = true;
            return;
        }
        declareSuccess();
        return;
    }

    m_isPassConnect = true;
    m_ipDeviceHasPasw = false;
    if (TavlinGlobal::getIsConnectByPin()) {
        sendCheckPassword(m_connectPin);
    } else {
        // The user's turn: no deadline while the code is being typed.
        m_deadlineTimer.stop();
        if (m_delegate)
            m_delegate->connectPack_needEnterPwd();
    }
}

void TLConnectPack::applyReceiverFeatures()
{
    TavlinGlobal::setTempChoseDevice(m_chosenDevice);
    const qint64 features = m_chosenDevice->mServer_features;
    if (features & FeatureBits::kWindowsReceiver) {
        TavlinGlobal::setIsWindowReceiver(true);
    } else {
        TavlinGlobal::setIsTvVersion((features & FeatureBits::kNotTvReceiver) == 0);
        TavlinGlobal::setIsWindowReceiver(false);
    }

    DynamicPortTable::resetToDefaults();

    const bool dynamicPorts = (features & FeatureBits::kDynamicPorts) != 0;
    TavlinGlobal::setIsSupportDynamicPort(dynamicPorts);
    qInfo("judge is support dynamic port = %d", dynamicPorts ? 1 : 0);
    if (dynamicPorts && m_socket) {
        m_socket->writeData(HandshakeCodec::listenedPortRequest(), -1, 0);
        m_socket->readDataWithTimeout(-1, 0);
        m_portReplyPending = true;
    }
}

void TLConnectPack::declareSuccess()
{
    m_checkPasswordTimer.stop();
    m_deadlineTimer.stop();
    TavlinGlobal::setChoseDevice(m_chosenDevice);
    m_isAlreadyConnected = true;
    QPointer<TLConnectPack> guard(this);
    if (m_delegate)
        m_delegate->connectPack_connectDeviceCheckSuccess();
    if (guard)
        sendGetServerInfoPack();
}

void TLConnectPack::handleReply(const HandshakeReply &reply)
{
    switch (reply.kind) {
    case HandshakeReply::Kind::CodeAccepted:
        // A verdict, asked for or not, ends the wait for one.
        m_checkPasswordTimer.stop();
        if (!m_isPassConnect)
            break;
        m_isPassConnect = false;
        if (m_portReplyPending) {
            // The receiver's ports are still to come: the session must run
            // on them, so success waits for them as it does without a code.
            m_isDirectConnect = true;
            m_deadlineTimer.start(m_timings.handshakeDeadlineMs);
            break;
        }
        declareSuccess();
        break;
    case HandshakeReply::Kind::CodeRefused:
        m_checkPasswordTimer.stop();
        if (m_delegate)
            m_delegate->connectPack_pwdIncorrect(wrongCodeError());
        break;
    case HandshakeReply::Kind::CodeConfigured:
        m_ipDeviceHasPasw = true;
        break;
    case HandshakeReply::Kind::ServerInfo:
        m_whetherGetDeviceNameTimer.stop();
        m_nameWaitAfterConnect = false;
        if (m_chosenDevice) {
            m_chosenDevice->mDevicename = reply.name;
            m_chosenDevice->mServer_features = reply.features;
        }
        m_customBroadcastStr = reply.extraInfo;
        if (m_isAlreadyConnected || !m_chosenDevice)
            break;
        if (m_isPassConnect || m_isDirectConnect) {
            // The name wait took the receiver as nameless and the code has
            // been asked for (or the verdict waits for the ports). The
            // receiver's flags and ports still count; the question and the
            // verdict stay as they are: no success behind the code dialog,
            // no second question.
            applyReceiverFeatures();
            break;
        }
        connectCheck();
        break;
    case HandshakeReply::Kind::Ports:
        m_portReplyPending = false;
        if (reply.portsParsed && reply.hasChanged) {
            DynamicPortTable::setDynamicPort_51040(reply.ports[0]);
            DynamicPortTable::setDynamicPort_51030(reply.ports[1]);
            DynamicPortTable::setDynamicPort_51060(reply.ports[2]);
            DynamicPortTable::setDynamicPort_52020(reply.ports[3]);
            DynamicPortTable::setDynamicPort_52030(reply.ports[4]);
            DynamicPortTable::setDynamicPort_57395(reply.ports[5]);
        }
        if (m_isDirectConnect) {
            m_isDirectConnect = false;
            declareSuccess();
        }
        break;
    }
}

void TLConnectPack::onSocketDidConnectToHost(AsyncSocket *sock, const QString &, quint16)
{
    if (!isCurrent(sock))
        return;
    m_isSocketConnected_8121 = true;
    if (m_nameWaitAfterConnect) {
        m_nameWaitAfterConnect = false;
        m_whetherGetDeviceNameTimer.start(m_timings.nameWaitMs);
    }
}

void TLConnectPack::onSocketDidReadData(AsyncSocket *sock, const QByteArray &data, qint64)
{
    if (!isCurrent(sock))
        return;
    // Only a verdict or the end of the connection ends the wait for the
    // casting-code verdict; other bytes do not.
    sock->readDataWithTimeout(-1, 0);
    const QList<HandshakeReply> replies = m_framer.feed(data);
    QPointer<TLConnectPack> guard(this);
    for (const HandshakeReply &reply : replies) {
        if (!guard || !isCurrent(sock))
            return;
        handleReply(reply);
    }
}

void TLConnectPack::onSocketWillDisconnectWithError(AsyncSocket *sock, const TavlinError &error)
{
    if (!isCurrent(sock))
        return;
    if (error.domain == SocketErrors::kAsyncSocketErrorDomain
        && error.code == SocketErrors::AsyncSocketConnectTimeoutError) {
        reportFailure(error);
        return;
    }
    if (error.domain == SocketErrors::kAsyncSocketErrorDomain
        && error.code == SocketErrors::AsyncSocketReadTimeoutError) {
        reopenAfterReadTimeout(error);
        return;
    }
    if (SocketErrors::isConnectionReset(error) || SocketErrors::isNotConnected(error)) {
        // Told only before success, when the connection itself has ended.
        m_pendingEndError = error;
        return;
    }
    reportFailure(error);
}

void TLConnectPack::onSocketDidDisconnect(AsyncSocket *sock)
{
    if (!isCurrent(sock))
        return;
    m_isSocketConnected_8121 = false;
    m_whetherGetDeviceNameTimer.stop();
    m_nameWaitAfterConnect = false;
    m_checkPasswordTimer.stop();
    m_deadlineTimer.stop();
    if (m_isAlreadyConnected || m_endReported)
        return;
    const TavlinError error = m_pendingEndError.value_or(SocketErrors::posixError(ENOTCONN));
    reportFailure(error);
}

void TLConnectPack::reopenAfterReadTimeout(const TavlinError &error)
{
    m_checkPasswordTimer.stop();
    // The old connection ends here and its end is this time-out. The new one
    // waits for the next code; the user is told now, so that the wait for a
    // verdict does not go on in silence. The new connection's own end is
    // reported in its turn.
    const bool endAlreadyReported = m_endReported;
    const bool reopened = openSocket(m_connectIp);
    if (!endAlreadyReported && (!reopened || !m_isAlreadyConnected) && m_delegate)
        m_delegate->connectPack_connectDeviceCheckWithError(error);
}

void TLConnectPack::reportFailure(const TavlinError &error)
{
    // After success the session goes on without this connection: a broken
    // handshake connection then is no failed connect.
    if (m_endReported || m_isAlreadyConnected)
        return;
    m_endReported = true;
    m_deadlineTimer.stop();
    if (m_delegate)
        m_delegate->connectPack_connectDeviceCheckWithError(error);
}

void TLConnectPack::deadlinePassed()
{
    if (m_isAlreadyConnected || m_endReported)
        return;
    m_whetherGetDeviceNameTimer.stop();
    m_nameWaitAfterConnect = false;
    // The connection is given up, so that a late answer cannot turn a
    // reported failure into a success.
    if (m_socket) {
        m_socket->setDelegate(nullptr);
        m_socket->disconnect();
    }
    m_isSocketConnected_8121 = false;
    reportFailure(TavlinError(SocketErrors::kAsyncSocketErrorDomain, SocketErrors::AsyncSocketReadTimeoutError,
                              QStringLiteral("Read operation timed out")));
}
