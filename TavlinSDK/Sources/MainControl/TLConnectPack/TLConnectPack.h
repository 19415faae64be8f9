#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>

#include "Device/Device.h"
#include "MainControl/TLConnectPack/ConnectPackDelegate.h"
#include "MainControl/TLConnectPack/ConnectSession.h"
#include "MainControl/TLConnectPack/HandshakeCodec.h"
#include "Socket/AsyncSocket.h"
#include "TavlinExport.h"

class PinCode;

// How long the handshake waits, in milliseconds, and where it connects.
struct ConnectPackTimings {
    int connectTimeoutMs = 3000;
    // The IP road's wait for the name reply, counted from the connect call
    // (or from the connect itself when that takes longer).
    int nameWaitMs = 1200;
    // The casting-code verdict: no verdict ("success", "failed" or the end
    // of the connection) within this long after the write re-opens the
    // connection and reports a read time-out. Other bytes do not count.
    int checkPasswordTimeoutMs = 6000;
    // From the connect call until the receiver has said enough to succeed,
    // to ask the user for a code or to check one: a receiver that accepts
    // the connection and then stays silent must not leave the caller
    // waiting for ever.
    int handshakeDeadlineMs = 10000;
    quint16 handshakePort = 8121;
};

// One connect handshake on the receiver's text port: asks whether a casting
// code is configured, for the receiver's name and feature bits, for its
// dynamic ports when it has them, checks the casting code when one is needed,
// and declares the receiver chosen. The facade makes one per connect.
//
// Until the handshake succeeds, the end of its connection (a time-out, a
// refusal, a reset or a close by the receiver) is reported once through
// connectPack_connectDeviceCheckWithError; afterwards the connection may come
// and go unreported, since the session goes on without it.
class TLConnectPack : public QObject, public ConnectSession, public AsyncSocketDelegate {
    Q_OBJECT
public:
    explicit TLConnectPack(ConnectPackDelegate *delegate, const ConnectPackTimings &timings = {},
                           QObject *parent = nullptr);
    ~TLConnectPack() override;

    bool connectDeviceByIp(const QString &ip, const std::function<void()> &whenStarted = {}) override;
    bool connectDeviceByPin(const QString &code, const std::function<void()> &whenStarted = {}) override;
    void connectDeviceByIpCheckPwd(const QString &code) override;
    QString getCustomBroadcastStrPack() const override;

    ConnectPackDelegate *delegate() const { return m_delegate; }
    void setDelegate(ConnectPackDelegate *delegate) { m_delegate = delegate; }

    QString connectIp() const { return m_connectIp; }
    QString connectPin() const { return m_connectPin; }
    AsyncSocket *asyncSocket_8121() const { return m_socket.data(); }
    bool isSocketConnected_8121() const { return m_isSocketConnected_8121; }
    DevicePtr chosenDevice() const { return m_chosenDevice; }
    bool ipDeviceHasPasw() const { return m_ipDeviceHasPasw; }
    bool isPassConnect() const { return m_isPassConnect; }
    bool isDirectConnect() const { return m_isDirectConnect; }
    bool isAlreadyConnected() const { return m_isAlreadyConnected; }
    // "getListenedPort" went out on the current connection and has no answer yet.
    bool isPortReplyPending() const { return m_portReplyPending; }

    // The error of a refused casting code: "com.TavlinError.Domain", 1.
    static TavlinError wrongCodeError();

    // Socket events.
    void onSocketDidConnectToHost(AsyncSocket *sock, const QString &host, quint16 port) override;
    void onSocketDidReadData(AsyncSocket *sock, const QByteArray &data, qint64 tag) override;
    void onSocketWillDisconnectWithError(AsyncSocket *sock, const TavlinError &error) override;
    void onSocketDidDisconnect(AsyncSocket *sock) override;

private:
    void reset();
    bool openSocket(const QString &host, const std::function<void()> &whenStarted = {});
    void sendGetServerInfoPack();
    void sendCheckPassword(const QString &code);
    void nameWaitFired();
    void connectCheck();
    // The connect check's steps that take in what the receiver is: its
    // record, its flags, the port table and the port request.
    void applyReceiverFeatures();
    void declareSuccess();
    void handleReply(const HandshakeCodec::HandshakeReply &reply);
    void reopenAfterReadTimeout(const TavlinError &error);
    void reportFailure(const TavlinError &error);
    void deadlinePassed();
    bool isCurrent(AsyncSocket *sock) const;

    ConnectPackDelegate *m_delegate = nullptr;
    ConnectPackTimings m_timings;

    QString m_connectIp;
    QString m_connectPin;
    QPointer<AsyncSocket> m_socket;
    bool m_isSocketConnected_8121 = false;
    DevicePtr m_chosenDevice;
    std::unique_ptr<PinCode> m_pinCode;
    QTimer m_whetherGetDeviceNameTimer;
    bool m_nameWaitAfterConnect = false;
    bool m_ipDeviceHasPasw = false;
    bool m_isPassConnect = false;
    bool m_isDirectConnect = false;
    QString m_customBroadcastStr;
    bool m_isAlreadyConnected = false;
    bool m_portReplyPending = false;

    QTimer m_checkPasswordTimer;
    QTimer m_deadlineTimer;
    HandshakeCodec::HandshakeReplyFramer m_framer;
    // The end of the current connection has been reported.
    bool m_endReported = false;
    std::optional<TavlinError> m_pendingEndError;
};
