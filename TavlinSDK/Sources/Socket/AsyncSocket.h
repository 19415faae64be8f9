#pragma once

#include "Socket/TcpSocketBase.h"

class AsyncSocket;

// Callbacks of the run-loop TCP socket, on the thread that made the socket.
// Every method is optional.
class AsyncSocketDelegate {
public:
    virtual ~AsyncSocketDelegate() = default;
    virtual void onSocketDidConnectToHost(AsyncSocket * /*sock*/, const QString & /*host*/, quint16 /*port*/) {}
    virtual void onSocketDidReadData(AsyncSocket * /*sock*/, const QByteArray & /*data*/, qint64 /*tag*/) {}
    virtual void onSocketDidWriteDataWithTag(AsyncSocket * /*sock*/, qint64 /*tag*/) {}
    // A connection is ending because of `error`; onSocketDidDisconnect follows.
    // Not sent for a close that this side asked for, nor for an orderly close
    // by the peer.
    virtual void onSocketWillDisconnectWithError(AsyncSocket * /*sock*/, const TavlinError & /*error*/) {}
    // Once for every connection that started, however it ended.
    virtual void onSocketDidDisconnect(AsyncSocket * /*sock*/) {}
};

// The run-loop TCP socket: connect time-out code 2, read time-out code 4
// (domain "AsyncSocketErrorDomain"); failures of the system in the POSIX
// domain. The delegate is not owned; its owner clears it before it goes.
class AsyncSocket : public TcpSocketBase {
    Q_OBJECT
public:
    explicit AsyncSocket(AsyncSocketDelegate *delegate = nullptr, QObject *parent = nullptr);
    ~AsyncSocket() override;

    AsyncSocketDelegate *delegate() const { return m_delegate; }
    void setDelegate(AsyncSocketDelegate *delegate) { m_delegate = delegate; }

    // With 31 or more writes waiting, drops the waiting ones. The write in
    // progress is left to finish: cutting it off would break the stream's
    // framing for the receiver.
    void waitSocketWriteDone();
    // Host and port of the last connect that started; empty and 0 before.
    QString getHostName() const { return lastConnectHost(); }
    quint16 getHostPort() const { return lastConnectPort(); }

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
    AsyncSocketDelegate *m_delegate = nullptr;
};
