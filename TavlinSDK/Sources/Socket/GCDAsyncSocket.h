#pragma once

#include <functional>

#include "Socket/TcpSocketBase.h"

class GCDAsyncSocket;

// Callbacks of the queue-based TCP socket. Every method is optional.
class GCDAsyncSocketDelegate {
public:
    virtual ~GCDAsyncSocketDelegate() = default;
    virtual void socketDidConnectToHost(GCDAsyncSocket * /*sock*/, const QString & /*host*/, quint16 /*port*/) {}
    virtual void socketDidReadData(GCDAsyncSocket * /*sock*/, const QByteArray & /*data*/, qint64 /*tag*/) {}
    virtual void socketDidWriteDataWithTag(GCDAsyncSocket * /*sock*/, qint64 /*tag*/) {}
    // Exactly once when a started connection ends: no error for a close this
    // side asked for, code 3 for a connect time-out, code 7 when the peer
    // closed, the system's error otherwise.
    virtual void socketDidDisconnect(GCDAsyncSocket * /*sock*/, const OptionalTavlinError & /*error*/) {}
};

// The queue-based TCP socket (domain "GCDAsyncSocketErrorDomain"). Its
// callbacks arrive on the thread that made it; the user value and the count
// of queued writes may be read from any thread. The delegate is not owned.
class GCDAsyncSocket : public TcpSocketBase {
    Q_OBJECT
public:
    explicit GCDAsyncSocket(GCDAsyncSocketDelegate *delegate = nullptr, QObject *parent = nullptr);
    ~GCDAsyncSocket() override;

    GCDAsyncSocketDelegate *delegate() const { return m_delegate; }
    void setDelegate(GCDAsyncSocketDelegate *delegate) { m_delegate = delegate; }

    // Runs `block` at once on the socket's own thread (the caller's); inside
    // it socketFD() gives the connected descriptor for socket options.
    void performBlock(const std::function<void()> &block);

protected:
    void notifyConnected(const QString &host, quint16 port) override;
    void notifyRead(const QByteArray &data, qint64 tag) override;
    void notifyWritten(qint64 tag) override;
    void notifyClosed(const OptionalTavlinError &error) override;
    TavlinError connectTimeoutError() const override;
    TavlinError readTimeoutError() const override;
    TavlinError writeTimeoutError() const override;
    OptionalTavlinError closedByPeerError() const override;
    TavlinError startError(const QString &text) const override;
    TavlinError otherError(const QString &text) const override;

private:
    GCDAsyncSocketDelegate *m_delegate = nullptr;
};
