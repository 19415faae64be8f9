#include "Socket/AsyncSocket.h"

#include <QPointer>

#include "Socket/SocketErrors.h"

using namespace SocketErrors;

namespace {
constexpr qint64 kMaxWaitingWrites = 30;
}

AsyncSocket::AsyncSocket(AsyncSocketDelegate *delegate, QObject *parent)
    : TcpSocketBase(parent), m_delegate(delegate)
{
}

AsyncSocket::~AsyncSocket() = default;

void AsyncSocket::waitSocketWriteDone()
{
    if (queneCount() > kMaxWaitingWrites)
        dropWaitingWrites();
}

void AsyncSocket::notifyConnected(const QString &host, quint16 port)
{
    if (m_delegate)
        m_delegate->onSocketDidConnectToHost(this, host, port);
}

void AsyncSocket::notifyRead(const QByteArray &data, qint64 tag)
{
    if (m_delegate)
        m_delegate->onSocketDidReadData(this, data, tag);
}

void AsyncSocket::notifyWritten(qint64 tag)
{
    if (m_delegate)
        m_delegate->onSocketDidWriteDataWithTag(this, tag);
}

void AsyncSocket::notifyClosed(const OptionalTavlinError &error)
{
    QPointer<AsyncSocket> guard(this);
    if (error && m_delegate)
        m_delegate->onSocketWillDisconnectWithError(this, *error);
    if (guard && m_delegate)
        m_delegate->onSocketDidDisconnect(this);
}

TavlinError AsyncSocket::connectTimeoutError() const
{
    return TavlinError(kAsyncSocketErrorDomain, AsyncSocketConnectTimeoutError,
                       QStringLiteral("Attempt to connect to host timed out"));
}

TavlinError AsyncSocket::readTimeoutError() const
{
    return TavlinError(kAsyncSocketErrorDomain, AsyncSocketReadTimeoutError,
                       QStringLiteral("Read operation timed out"));
}

TavlinError AsyncSocket::writeTimeoutError() const
{
    return TavlinError(kAsyncSocketErrorDomain, AsyncSocketWriteTimeoutError,
                       QStringLiteral("Write operation timed out"));
}

OptionalTavlinError AsyncSocket::closedByPeerError() const
{
    return std::nullopt;
}

TavlinError AsyncSocket::startError(const QString &text) const
{
    return TavlinError(kAsyncSocketErrorDomain, AsyncSocketCFSocketError, text);
}

TavlinError AsyncSocket::otherError(const QString &text) const
{
    return TavlinError(kAsyncSocketErrorDomain, AsyncSocketCFSocketError, text);
}
