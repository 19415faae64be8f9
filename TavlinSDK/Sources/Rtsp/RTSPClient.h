#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

#include "Device/Device.h"
#include "Platform/KeyValueStore.h"
#include "Platform/PlatformServices.h"
#include "Platform/UserInfo.h"
#include "Rtsp/MirrorSenders.h"
#include "Rtsp/MirrorSocketStatus.h"
#include "Rtsp/RTSPCodec.h"
#include "Socket/GCDAsyncSocket.h"

// Intervals of the cast control session, in milliseconds.
struct RTSPClientTimings {
    int connectTimeoutMs = 4000;
    // One keep-alive "OPTIONS" per interval; the same tick bounds the wait
    // for the "SETUP" replies.
    int keepAliveIntervalMs = 1000;
    // After "TEARDOWN", how long the close may wait for the queued writes
    // before the connection is cut.
    int stopGraceMs = 1000;
};

// What a control session needs from outside, with production defaults.
struct RTSPClientServices {
    MirrorSenderFactory senders;
    RTSPClientTimings timings;
    // The user's settings ("TavlinMacClientName") and account, for the name
    // the receiver shows; without them the name is empty.
    std::shared_ptr<Platform::KeyValueStore> store;
    std::shared_ptr<Platform::UserInfo> userInfo;

    // The real senders over the process's platform services, production
    // timings.
    static RTSPClientServices fromPlatform(const Platform::PlatformServices &platform);
};

// The control session of one screen cast (TCP, port 51040 or the receiver's
// replacement). It asks the receiver for the video stream, starts the video
// sender and the remote-input controller, asks for the audio stream and
// starts the audio sender on the port the receiver names, keeps the session
// alive with "OPTIONS", relays the receiver's encoder-size requests, and ends
// everything when the cast stops or the connection ends. Lives on the main
// thread; used for one cast only.
//
// Statuses (MirrorSocketStatus) reach the monitor callback from the event
// loop, after the session has finished its own work, so the owner may stop
// and destroy the client from inside the callback.
class RTSPClient : public QObject, private GCDAsyncSocketDelegate {
    Q_OBJECT
public:
    // Tags of the requests.
    enum Tag : qint64 {
        TagSetupVideo = 1,
        TagSetupAudio = 2,
        TagOptions = 3,
        TagTeardown = 4,
        TagSetParameter = 5,
    };
    // Unanswered keep-alive requests after which the session is given up.
    static constexpr qint64 kKeepAliveLimit = 6;

    // With the senders, timings and settings given; an empty sender factory
    // makes no senders.
    RTSPClient(DevicePtr device, RTSPClientServices services, QObject *parent = nullptr);
    ~RTSPClient() override;

    void setMonitorCallback(std::function<void(qint32)> callback);
    void startMrror();
    // Sends "TEARDOWN" and closes once it is out; every sender stops at once.
    // A connect still under way is called off. No status follows.
    void stopMirror();
    bool isBusy() const;
    void setMirrorPause(bool pause);
    bool getPauseMark() const;
    void sendScreenChange();

    bool isCpuBrandOfApple() const { return m_isCpuBrandOfApple; }
    // The name of the encoder-size notification this session's road follows.
    QString encoderNotificationName() const;
    // Sequence number of the last request sent.
    quint16 sequence() const { return m_mSeq; }
    // Keep-alive requests sent since the last "OPTIONS" reply.
    qint64 keepAliveCount() const { return m_timeout; }

private:
    void socketDidConnectToHost(GCDAsyncSocket *sock, const QString &host, quint16 port) override;
    void socketDidReadData(GCDAsyncSocket *sock, const QByteArray &data, qint64 tag) override;
    void socketDidDisconnect(GCDAsyncSocket *sock, const OptionalTavlinError &error) override;

    void setupVideo();
    void setupAudio();
    void optinos();
    void teardown();
    void sendRtspComand(const QString &method, const QList<QPair<QString, QString>> &headers,
                        const QByteArray &body, qint64 tag);
    void handleReply(const RTSPCodec::Reply &reply);
    void checkChangeEncoderAttribute(const std::optional<QByteArray> &body);
    void onEncoderSizeRequested(const QString &name, const EncoderSizeRequest &request);
    void startTimer();
    void stopTimer();
    void onTick();
    void giveUp();
    void stopSenders();
    void armRead();
    void report(qint32 status);
    QByteArray machineName() const;

    RTSPClientServices m_services;
    bool m_sendPara = true;
    bool m_isCpuBrandOfApple = false;
    quint16 m_mSeq = 0;
    std::function<void(qint32)> m_monitorblock;
    DevicePtr m_mDevice;
    QPointer<GCDAsyncSocket> m_rtspSocket;
    // The picture of the active capture road (`VideoSession` on Apple
    // silicon, `VideoDisplaySession` otherwise) and, once the receiver named
    // its port, the sound (`AudioSession`).
    std::unique_ptr<MirrorMedia> m_media;
    std::unique_ptr<MirrorRemoteInput> m_mRemoteController;
    QTimer m_timer;
    QTimer m_graceTimer;
    qint64 m_timeout = 0;

    RTSPCodec::ReplyFramer m_framer;
    QList<qint64> m_pendingTags;
    bool m_started = false;
    bool m_streaming = false;
    bool m_stopping = false;
    bool m_sendersStopped = false;
    bool m_readArmed = false;
    bool m_bytesSinceTick = false;
};
