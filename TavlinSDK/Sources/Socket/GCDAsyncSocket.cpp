#include "Socket/GCDAsyncSocket.h"

#include "Socket/SocketErrors.h"

using namespace SocketErrors;

GCDAsyncSocket::GCDAsyncSocket(GCDAsyncSocketDelegate *delegate, QObject *parent)
    : TcpSocketBase(parent), m_delegate(delegate)
{
}

GCDAsyncSocket::~GCDAsyncSocket() = default;

void GCDAsyncSocket::performBlock(const std::function<void()> &block)
{
    if (block)
        block();
}

void GCDAsyncSocket::notifyConnected(const QString &host, quint16 port)
{
    if (m_delegate)
        m_delegate->socketDidConnectToHost(this, host, port);
}

void GCDAsyncSocket::notifyRead(const QByteArray &data, qint64 tag)
{
    if (m_delegate)
        m_delegate->socketDidReadData(this, data, tag);
}

void GCDAsyncSocket::notifyWritten(qint64 tag)
{
    if (m_delegate)
        m_delegate->socketDidWriteDataWithTag(this, tag);
}

void GCDAsyncSocket::notifyClosed(const OptionalTavlinError &error)
{
    if (m_delegate)
        m_delegate->socketDidDisconnect(this, error);
}

TavlinError GCDAsyncSocket::connectTimeoutError() const
{
    return TavlinError(kGCDAsyncSocketErrorDomain, GCDAsyncSocketConnectTimeoutError,
                       QStringLiteral("Attempt to connect to host timed out"));
}

TavlinError GCDAsyncSocket::readTimeoutError() const
{
    return TavlinError(kGCDAsyncSocketErrorDomain, GCDAsyncSocketReadTimeoutError,
                       QStringLiteral("Read operation timed out"));
}

TavlinError GCDAsyncSocket::writeTimeoutError() const
{
    return TavlinError(kGCDAsyncSocketErrorDomain, GCDAsyncSocketWriteTimeoutError,
                       QStringLiteral("Write operation timed out"));
}

OptionalTavlinError GCDAsyncSocket::closedByPeerError() const
{
    return TavlinError(kGCDAsyncSocketErrorDomain, GCDAsyncSocketClosedError,
                       QStringLiteral("Socket closed by remote peer"));
}

TavlinError GCDAsyncSocket::startError(const QString &text) const
{
    return TavlinError(kGCDAsyncSocketErrorDomain, GCDAsyncSocketBadParamError, text);
}

TavlinError GCDAsyncSocket::otherError(const QString &text) const
{
    return TavlinError(kGCDAsyncSocketErrorDomain, GCDAsyncSocketOtherError, text);
}
