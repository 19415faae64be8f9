#include "Socket/AsyncUdpSocket.h"

#include <QNetworkDatagram>
#include <QPointer>
#include <QUdpSocket>

#include "Platform/StreamSockets.h"
#include "Socket/SocketErrors.h"

using namespace SocketErrors;

namespace {

TavlinError udpError(qint64 code, const QString &text)
{
    return TavlinError(kAsyncUdpSocketErrorDomain, code, text);
}

// Qt may hand an IPv4 sender over as an IPv4-mapped IPv6 address.
QString hostText(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

} // namespace

AsyncUdpSocket::AsyncUdpSocket(AsyncUdpSocketDelegate *delegate, QObject *parent)
    : QObject(parent), m_delegate(delegate)
{
    m_receiveTimer.setSingleShot(true);
    connect(&m_receiveTimer, &QTimer::timeout, this, &AsyncUdpSocket::onReceiveTimeout);
}

AsyncUdpSocket::~AsyncUdpSocket() = default;

void AsyncUdpSocket::ensureSocket()
{
    if (m_socket)
        return;
    m_socket = new QUdpSocket(this);
    connect(m_socket, &QUdpSocket::readyRead, this, &AsyncUdpSocket::pumpReceives);
}

bool AsyncUdpSocket::bindToPort(quint16 port, TavlinError *error)
{
    return bindToAddress(QString(), port, error);
}

bool AsyncUdpSocket::bindToAddress(const QString &host, quint16 port, TavlinError *error)
{
    QHostAddress address(QHostAddress::AnyIPv4);
    if (!host.isEmpty() && !address.setAddress(host)) {
        if (error)
            *error = udpError(AsyncUdpSocketBadParameter, QStringLiteral("Invalid host"));
        return false;
    }
    if (m_closed || (m_socket && m_socket->state() == QAbstractSocket::BoundState)) {
        if (error)
            *error = udpError(AsyncUdpSocketBadParameter, QStringLiteral("Socket is already bound or closed"));
        return false;
    }
    ensureSocket();
    if (!m_socket->bind(address, port, QAbstractSocket::DontShareAddress)) {
        if (error)
            *error = udpError(AsyncUdpSocketCFSocketError, m_socket->errorString());
        return false;
    }
    applyBroadcast();
    scheduleReceive();
    return true;
}

bool AsyncUdpSocket::enableBroadcast(bool enable, TavlinError *error)
{
    if (m_closed) {
        if (error)
            *error = udpError(AsyncUdpSocketBadParameter, QStringLiteral("Socket is closed"));
        return false;
    }
    m_broadcast = enable;
    applyBroadcast();
    return true;
}

void AsyncUdpSocket::applyBroadcast()
{
    if (!m_socket || m_socket->socketDescriptor() < 0)
        return;
    Platform::StreamSockets::setBroadcast(m_socket->socketDescriptor(), m_broadcast);
}

bool AsyncUdpSocket::sendData(const QByteArray &data, const QString &host, quint16 port, int /*timeoutMs*/, qint64 tag)
{
    QHostAddress address;
    if (m_closed || data.isEmpty() || port == 0 || !address.setAddress(host))
        return false;
    if (!m_socket || m_socket->state() != QAbstractSocket::BoundState) {
        if (!bindToPort(0))
            return false;
    }
    const qint64 written = m_socket->writeDatagram(data, address, port);
    if (written == data.size()) {
        QMetaObject::invokeMethod(this, [this, tag] {
            if (m_delegate)
                m_delegate->onUdpSocketDidSendDataWithTag(this, tag);
        }, Qt::QueuedConnection);
    } else {
        const TavlinError failure = udpError(AsyncUdpSocketCFSocketError, m_socket->errorString());
        QMetaObject::invokeMethod(this, [this, tag, failure] {
            if (m_delegate)
                m_delegate->onUdpSocketDidNotSendDataWithTag(this, tag, failure);
        }, Qt::QueuedConnection);
    }
    return true;
}

void AsyncUdpSocket::receiveWithTimeout(int timeoutMs, qint64 tag)
{
    if (m_closed)
        return;
    m_receives.append({tag, timeoutMs});
    scheduleReceive();
}

void AsyncUdpSocket::scheduleReceive()
{
    if (m_receiveScheduled)
        return;
    m_receiveScheduled = true;
    QMetaObject::invokeMethod(this, [this] {
        m_receiveScheduled = false;
        pumpReceives();
    }, Qt::QueuedConnection);
}

void AsyncUdpSocket::pumpReceives()
{
    if (m_closed || !m_socket || m_socket->state() != QAbstractSocket::BoundState)
        return;
    QPointer<AsyncUdpSocket> guard(this);
    while (!m_receives.isEmpty() && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        const ReceiveRequest head = m_receives.first();
        bool taken = true;
        if (m_delegate)
            taken = m_delegate->onUdpSocketDidReceiveData(this, datagram.data(), head.tag,
                                                          hostText(datagram.senderAddress()),
                                                          static_cast<quint16>(datagram.senderPort()));
        if (!guard || m_closed)
            return;
        if (taken && !m_receives.isEmpty()) {
            m_receives.removeFirst();
            m_receiveTimer.stop();
            m_timerForHead = false;
        }
    }
    armReceiveTimer();
}

void AsyncUdpSocket::armReceiveTimer()
{
    if (m_receives.isEmpty() || m_timerForHead)
        return;
    m_timerForHead = true;
    if (m_receives.first().timeoutMs >= 0)
        m_receiveTimer.start(m_receives.first().timeoutMs);
}

void AsyncUdpSocket::onReceiveTimeout()
{
    if (m_receives.isEmpty())
        return;
    const ReceiveRequest head = m_receives.takeFirst();
    m_timerForHead = false;
    QPointer<AsyncUdpSocket> guard(this);
    if (m_delegate)
        m_delegate->onUdpSocketDidNotReceiveDataWithTag(
            this, head.tag, udpError(AsyncUdpSocketReceiveTimeoutError, QStringLiteral("Receive operation timed out")));
    if (guard)
        scheduleReceive();
}

void AsyncUdpSocket::close()
{
    if (m_closed)
        return;
    m_closed = true;
    m_receives.clear();
    m_receiveTimer.stop();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->close();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    QMetaObject::invokeMethod(this, [this] {
        if (m_delegate)
            m_delegate->onUdpSocketDidClose(this);
    }, Qt::QueuedConnection);
}

bool AsyncUdpSocket::isClosed() const
{
    return m_closed;
}

quint16 AsyncUdpSocket::localPort() const
{
    return m_socket ? m_socket->localPort() : 0;
}

QString AsyncUdpSocket::localHost() const
{
    return m_socket ? hostText(m_socket->localAddress()) : QString();
}
