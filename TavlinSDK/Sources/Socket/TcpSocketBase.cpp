#include "Socket/TcpSocketBase.h"

#include <QHostInfo>
#include <QSocketNotifier>
#include <cerrno>

#include "Platform/StreamSockets.h"
#include "Socket/SocketErrors.h"

namespace Sys = Platform::StreamSockets;

namespace {

// Reading stops for a socket nobody reads from once this much waits, so a
// peer cannot make us buffer without bound; the next queued read resumes it.
constexpr qsizetype kMaxUnreadBytes = 4 * 1024 * 1024;

} // namespace

TcpSocketBase::TcpSocketBase(QObject *parent) : QObject(parent)
{
    m_connectTimer.setSingleShot(true);
    m_readTimer.setSingleShot(true);
    m_writeTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] { closeWithError(connectTimeoutError()); });
    connect(&m_readTimer, &QTimer::timeout, this, [this] { closeWithError(readTimeoutError()); });
    connect(&m_writeTimer, &QTimer::timeout, this, [this] { closeWithError(writeTimeoutError()); });
}

TcpSocketBase::~TcpSocketBase()
{
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    closeDescriptor();
}

bool TcpSocketBase::connectToHost(const QString &host, quint16 port, int timeoutMs, TavlinError *error)
{
    auto refuse = [&](const TavlinError &why) {
        if (error)
            *error = why;
        return false;
    };
    if (m_state != State::Idle)
        return refuse(startError(QStringLiteral("Attempting to connect while connected or connecting. Disconnect first.")));
    if (host.isEmpty() || port == 0)
        return refuse(startError(QStringLiteral("Invalid host or port")));

    QHostAddress literal;
    const bool isLiteral = literal.setAddress(host);
    if (isLiteral) {
        if (const int failure = Sys::openStream(literal, &m_fd))
            return refuse(SocketErrors::posixError(failure));
    }

    m_ended = false;
    m_lastConnectHost = host;
    m_lastConnectPort = port;
    m_peerPort = port;
    m_closeAfterWriting = false;
    m_closeAfterReading = false;
    m_readBuffer.clear();
    if (timeoutMs >= 0)
        m_connectTimer.start(timeoutMs);

    if (isLiteral) {
        m_state = State::Connecting;
        startConnect(literal);
    } else {
        m_state = State::Resolving;
        m_lookupId = QHostInfo::lookupHost(host, this, &TcpSocketBase::onLookup);
    }
    return true;
}

void TcpSocketBase::onLookup(const QHostInfo &info)
{
    if (m_state != State::Resolving || info.lookupId() != m_lookupId)
        return;
    m_lookupId = -1;
    QHostAddress chosen;
    for (const QHostAddress &address : info.addresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            chosen = address;
            break;
        }
        if (chosen.isNull())
            chosen = address;
    }
    if (chosen.isNull()) {
        closeWithError(otherError(info.errorString()));
        return;
    }
    if (const int failure = Sys::openStream(chosen, &m_fd)) {
        closeWithError(SocketErrors::posixError(failure));
        return;
    }
    m_state = State::Connecting;
    startConnect(chosen);
}

void TcpSocketBase::startConnect(const QHostAddress &address)
{
    m_peerAddress = address;
    const int result = Sys::startConnect(m_fd, address, m_peerPort);
    if (result == 0) {
        // Connected at once: still report it from the event loop.
        QMetaObject::invokeMethod(this, [this] {
            if (m_state == State::Connecting)
                onConnected();
        }, Qt::QueuedConnection);
        return;
    }
    if (result != EINPROGRESS) {
        // The connect started and failed at once (a refusal on loop-back is
        // one); it ends like any other failed connect.
        const TavlinError failure = SocketErrors::posixError(result);
        QMetaObject::invokeMethod(this, [this, failure] {
            if (m_state == State::Connecting)
                closeWithError(failure);
        }, Qt::QueuedConnection);
        return;
    }
    m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &TcpSocketBase::onConnectWritable);
}

void TcpSocketBase::onConnectWritable()
{
    if (m_state != State::Connecting)
        return;
    const int pending = Sys::pendingError(m_fd);
    if (pending != 0) {
        closeWithError(SocketErrors::posixError(pending));
        return;
    }
    onConnected();
}

void TcpSocketBase::onConnected()
{
    m_connectTimer.stop();
    m_state = State::Connected;
    if (m_writeNotifier) {
        m_writeNotifier->setEnabled(false);
        m_writeNotifier->disconnect();
        m_writeNotifier->deleteLater();
    }
    m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &TcpSocketBase::onWritable);
    m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &TcpSocketBase::onReadable);

    QPointer<TcpSocketBase> guard(this);
    notifyConnected(m_peerAddress.toString(), m_peerPort);
    if (guard && m_state == State::Connected)
        pump();
}

void TcpSocketBase::onReadable()
{
    if (m_state != State::Connected)
        return;
    std::optional<TavlinError> failure;
    bool peerClosed = false;
    qsizetype total = 0;
    char chunk[65536];
    while (total < m_maxReadPerEvent) {
        int error = 0;
        const qint64 n = Sys::receive(m_fd, chunk, sizeof(chunk), &error);
        if (n > 0) {
            m_readBuffer.append(chunk, n);
            total += n;
            continue;
        }
        if (n == 0) {
            peerClosed = true;
            break;
        }
        if (error != EAGAIN && error != EWOULDBLOCK)
            failure = SocketErrors::posixError(error);
        break;
    }

    QPointer<TcpSocketBase> guard(this);
    pumpReads();
    if (!guard || m_state != State::Connected)
        return;
    if (failure) {
        closeWithError(*failure);
    } else if (peerClosed) {
        closeWithError(closedByPeerError());
    } else {
        if (m_reads.isEmpty() && m_readBuffer.size() >= kMaxUnreadBytes)
            m_readNotifier->setEnabled(false);
        checkDisconnectAfter();
    }
}

void TcpSocketBase::onWritable()
{
    if (m_state != State::Connected)
        return;
    m_writeNotifier->setEnabled(false);
    QPointer<TcpSocketBase> guard(this);
    pumpWrites();
    if (guard && m_state == State::Connected)
        checkDisconnectAfter();
}

void TcpSocketBase::readDataWithTimeout(int timeoutMs, qint64 tag)
{
    if (m_closeAfterWriting || m_closeAfterReading || m_ended)
        return;
    if (m_singleRead && !m_reads.isEmpty())
        return;
    m_reads.append({tag, timeoutMs});
    schedulePump();
}

void TcpSocketBase::writeData(const QByteArray &data, int timeoutMs, qint64 tag)
{
    // Bytes for a connection that has ended would only pile up.
    if (data.isEmpty() || m_closeAfterWriting || m_closeAfterReading || m_ended)
        return;
    if (m_maxWaitingBytes > 0 && waitingBytes() > m_maxWaitingBytes) {
        qInfo("peer %s:%u takes no more of our bytes (%lld waiting): connection ended",
              qUtf8Printable(m_lastConnectHost), unsigned(m_lastConnectPort), static_cast<long long>(waitingBytes()));
        closeWithError(SocketErrors::posixError(ENOBUFS));
        return;
    }
    m_writes.append({data, tag, timeoutMs});
    updateQueneCount();
    addWaitingBytes(data.size());
    schedulePump();
}

void TcpSocketBase::setMaxWaitingBytes(qint64 bytes)
{
    m_maxWaitingBytes = bytes;
}

void TcpSocketBase::setSingleRead(bool single)
{
    m_singleRead = single;
}

void TcpSocketBase::schedulePump()
{
    if (m_pumpScheduled)
        return;
    m_pumpScheduled = true;
    QMetaObject::invokeMethod(this, [this] {
        m_pumpScheduled = false;
        pump();
    }, Qt::QueuedConnection);
}

void TcpSocketBase::pump()
{
    if (m_state != State::Connected)
        return;
    QPointer<TcpSocketBase> guard(this);
    pumpReads();
    if (!guard || m_state != State::Connected)
        return;
    pumpWrites();
    if (!guard || m_state != State::Connected)
        return;
    checkDisconnectAfter();
}

void TcpSocketBase::pumpReads()
{
    QPointer<TcpSocketBase> guard(this);
    while (m_state == State::Connected && !m_reads.isEmpty() && !m_readBuffer.isEmpty()) {
        const ReadRequest request = m_reads.takeFirst();
        m_readTimer.stop();
        m_readTimerForHead = false;
        const QByteArray data = std::exchange(m_readBuffer, QByteArray());
        notifyRead(data, request.tag);
        if (!guard)
            return;
    }
    if (m_state != State::Connected)
        return;
    if (!m_reads.isEmpty() && m_readNotifier && !m_readNotifier->isEnabled())
        m_readNotifier->setEnabled(true);
    armReadTimer();
}

void TcpSocketBase::armReadTimer()
{
    if (m_reads.isEmpty() || m_readTimerForHead)
        return;
    m_readTimerForHead = true;
    if (m_reads.first().timeoutMs >= 0)
        m_readTimer.start(m_reads.first().timeoutMs);
}

void TcpSocketBase::pumpWrites()
{
    QPointer<TcpSocketBase> guard(this);
    while (m_state == State::Connected) {
        if (!m_currentWrite) {
            if (m_writes.isEmpty())
                return;
            m_currentWrite = m_writes.takeFirst();
            m_currentOffset = 0;
            updateQueneCount();
            addWaitingBytes(-m_currentWrite->data.size());
            if (m_currentWrite->timeoutMs >= 0)
                m_writeTimer.start(m_currentWrite->timeoutMs);
        }
        const QByteArray &data = m_currentWrite->data;
        int error = 0;
        const qint64 n = Sys::send(m_fd, data.constData() + m_currentOffset, data.size() - m_currentOffset, &error);
        if (n >= 0) {
            m_currentOffset += n;
            if (m_currentOffset < data.size())
                continue;
            const qint64 tag = m_currentWrite->tag;
            m_currentWrite.reset();
            m_writeTimer.stop();
            notifyWritten(tag);
            if (!guard)
                return;
            continue;
        }
        if (error == EAGAIN || error == EWOULDBLOCK) {
            m_writeNotifier->setEnabled(true);
            return;
        }
        closeWithError(SocketErrors::posixError(error));
        return;
    }
}

void TcpSocketBase::checkDisconnectAfter()
{
    if (m_state != State::Connected)
        return;
    const bool writesDone = !m_currentWrite && m_writes.isEmpty();
    if (m_closeAfterWriting && writesDone)
        closeWithError(std::nullopt);
    else if (m_closeAfterReading && writesDone && m_reads.isEmpty())
        closeWithError(std::nullopt);
}

void TcpSocketBase::disconnect()
{
    closeWithError(std::nullopt);
}

void TcpSocketBase::disconnectAfterWriting()
{
    if (m_state == State::Idle) {
        dropWaitingWrites();
        return;
    }
    m_closeAfterWriting = true;
    schedulePump();
}

void TcpSocketBase::disconnectAfterReadingAndWriting()
{
    if (m_state == State::Idle) {
        dropWaitingWrites();
        m_reads.clear();
        return;
    }
    m_closeAfterReading = true;
    schedulePump();
}

void TcpSocketBase::disconnectAfterWritingNow()
{
    while (m_state == State::Connected) {
        if (!m_currentWrite) {
            if (m_writes.isEmpty())
                break;
            m_currentWrite = m_writes.takeFirst();
            m_currentOffset = 0;
        }
        const QByteArray &data = m_currentWrite->data;
        int error = 0;
        const qint64 n = Sys::send(m_fd, data.constData() + m_currentOffset, data.size() - m_currentOffset, &error);
        if (n <= 0)
            break; // full, or the peer is gone: the rest is lost
        m_currentOffset += n;
        if (m_currentOffset == data.size())
            m_currentWrite.reset();
    }
    closeWithError(std::nullopt);
}

void TcpSocketBase::closeWithError(const OptionalTavlinError &error)
{
    if (m_state == State::Idle)
        return;
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    closeDescriptor();
    m_state = State::Idle;
    m_ended = true;
    m_connectTimer.stop();
    m_readTimer.stop();
    m_writeTimer.stop();
    m_readTimerForHead = false;
    m_reads.clear();
    m_writes.clear();
    m_currentWrite.reset();
    m_currentOffset = 0;
    m_readBuffer.clear();
    m_closeAfterWriting = false;
    m_closeAfterReading = false;
    updateQueneCount();
    m_waitingBytes.store(0, std::memory_order_relaxed);
    QMetaObject::invokeMethod(this, [this, error] {
        QPointer<TcpSocketBase> guard(this);
        notifyClosed(error);
        if (guard)
            emit closed();
    }, Qt::QueuedConnection);
}

void TcpSocketBase::closeDescriptor()
{
    // The notifiers may be the very senders whose signal is running now.
    for (QSocketNotifier *notifier : {m_readNotifier, m_writeNotifier}) {
        if (!notifier)
            continue;
        notifier->setEnabled(false);
        notifier->disconnect();
        notifier->deleteLater();
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    if (m_fd >= 0) {
        Sys::close(m_fd);
        m_fd = -1;
    }
}

void TcpSocketBase::dropWaitingWrites()
{
    qint64 dropped = 0;
    for (const WriteRequest &write : std::as_const(m_writes))
        dropped += write.data.size();
    m_writes.clear();
    updateQueneCount();
    addWaitingBytes(-dropped);
}

void TcpSocketBase::updateQueneCount()
{
    m_queneCount.store(m_writes.size(), std::memory_order_relaxed);
}

void TcpSocketBase::addWaitingBytes(qint64 delta)
{
    const qint64 bytes = m_waitingBytes.load(std::memory_order_relaxed) + delta;
    m_waitingBytes.store(bytes, std::memory_order_relaxed);
    if (bytes > m_waitingBytesHighWater.load(std::memory_order_relaxed))
        m_waitingBytesHighWater.store(bytes, std::memory_order_relaxed);
}

qint64 TcpSocketBase::waitingBytes() const
{
    return m_waitingBytes.load(std::memory_order_relaxed);
}

qint64 TcpSocketBase::waitingBytesHighWater() const
{
    return m_waitingBytesHighWater.load(std::memory_order_relaxed);
}

bool TcpSocketBase::isConnected() const
{
    return m_state == State::Connected;
}

bool TcpSocketBase::isDisconnected() const
{
    return m_state == State::Idle;
}

QString TcpSocketBase::connectedHost() const
{
    return m_state == State::Connected ? m_peerAddress.toString() : QString();
}

quint16 TcpSocketBase::connectedPort() const
{
    return m_state == State::Connected ? m_peerPort : 0;
}

qint64 TcpSocketBase::userData() const
{
    return m_userData.load(std::memory_order_relaxed);
}

void TcpSocketBase::setUserData(qint64 value)
{
    m_userData.store(value, std::memory_order_relaxed);
}

qint64 TcpSocketBase::queneCount() const
{
    return m_queneCount.load(std::memory_order_relaxed);
}

int TcpSocketBase::socketFD() const
{
    return m_state == State::Connected ? m_fd : -1;
}
