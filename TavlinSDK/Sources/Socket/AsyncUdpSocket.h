#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include "TavlinError.h"

class QUdpSocket;
class AsyncUdpSocket;

// Callbacks of the run-loop UDP socket, on the thread that made it. Every
// method is optional.
class AsyncUdpSocketDelegate {
public:
    virtual ~AsyncUdpSocketDelegate() = default;
    virtual void onUdpSocketDidSendDataWithTag(AsyncUdpSocket * /*sock*/, qint64 /*tag*/) {}
    virtual void onUdpSocketDidNotSendDataWithTag(AsyncUdpSocket * /*sock*/, qint64 /*tag*/, const TavlinError & /*error*/) {}
    // One datagram for the first waiting receive. Return true when it was
    // taken (the receive completes), false to leave the receive waiting for
    // the next datagram.
    virtual bool onUdpSocketDidReceiveData(AsyncUdpSocket * /*sock*/, const QByteArray & /*data*/, qint64 /*tag*/,
                                           const QString & /*host*/, quint16 /*port*/)
    {
        return true;
    }
    virtual void onUdpSocketDidNotReceiveDataWithTag(AsyncUdpSocket * /*sock*/, qint64 /*tag*/, const TavlinError & /*error*/) {}
    virtual void onUdpSocketDidClose(AsyncUdpSocket * /*sock*/) {}
};

// The run-loop UDP socket over QUdpSocket (domain "AsyncUdpSocketErrorDomain").
// The delegate is not owned; its owner clears it before it goes.
class AsyncUdpSocket : public QObject {
    Q_OBJECT
public:
    explicit AsyncUdpSocket(AsyncUdpSocketDelegate *delegate = nullptr, QObject *parent = nullptr);
    ~AsyncUdpSocket() override;

    AsyncUdpSocketDelegate *delegate() const { return m_delegate; }
    void setDelegate(AsyncUdpSocketDelegate *delegate) { m_delegate = delegate; }

    // Binds every IPv4 interface (or `host`) on `port`; 0 picks a free port.
    bool bindToPort(quint16 port, TavlinError *error = nullptr);
    bool bindToAddress(const QString &host, quint16 port, TavlinError *error = nullptr);
    bool enableBroadcast(bool enable, TavlinError *error = nullptr);

    // Sends one datagram to an address text (including "255.255.255.255");
    // false when the data is empty or the host is not an address. The result
    // arrives through the delegate.
    bool sendData(const QByteArray &data, const QString &host, quint16 port, int timeoutMs, qint64 tag);
    // Waits for one datagram; time-out in milliseconds, negative for none.
    void receiveWithTimeout(int timeoutMs, qint64 tag);

    void close();
    bool isClosed() const;
    quint16 localPort() const;
    QString localHost() const;

private:
    struct ReceiveRequest {
        qint64 tag = 0;
        int timeoutMs = -1;
    };
    void ensureSocket();
    void applyBroadcast();
    void scheduleReceive();
    void pumpReceives();
    void armReceiveTimer();
    void onReceiveTimeout();

    AsyncUdpSocketDelegate *m_delegate = nullptr;
    QUdpSocket *m_socket = nullptr;
    bool m_closed = false;
    bool m_broadcast = false;
    bool m_receiveScheduled = false;
    QList<ReceiveRequest> m_receives;
    bool m_timerForHead = false;
    QTimer m_receiveTimer;
};
