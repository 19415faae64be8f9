#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "MainControl/TLCastPack/CastPackDelegate.h"
#include "MainControl/TLCastPack/TLCastPack.h"
#include "MainControl/TLMasterControlPack/MasterControlCodec.h"
#include "MainControl/TLMasterControlPack/MasterControlPackDelegate.h"
#include "MainControl/TLMasterControlPack/MasterControlSession.h"
#include "Platform/KeyValueStore.h"
#include "Platform/PlatformServices.h"
#include "Platform/ScreenCaptureAccess.h"
#include "Socket/GCDAsyncSocket.h"
#include "TavlinExport.h"

// Intervals of the master-control session, in milliseconds.
struct MasterControlTimings {
    int heartbeatIntervalMs = 1000;
    // A cast request the receiver leaves unanswered this long is given up and
    // reported as timed out.
    int castRequestTimeoutMs = 30000;
    int directCastIntervalMs = 1000;
};

// What a master-control session needs from outside.
struct MasterControlServices {
    MasterControlTimings timings;
    CastPackServices cast;
    // Whether the screen can be recorded, and the prompt for it; none: it cannot.
    std::shared_ptr<Platform::ScreenCaptureAccess> screenCaptureAccess;
    // The name the receiver shows for this machine; when empty, the stored
    // "TavlinMacClientName" of `store`.
    std::function<QString()> clientName;
    std::shared_ptr<Platform::KeyValueStore> store;
    // The version text and the whole-number build the client information
    // carries. None: the application's, read each time the information is
    // sent (QCoreApplication::applicationVersion() and the leading number of
    // the application's TavlinSDK::ApplicationBuildProperty, or of its version
    // when it sets no build), so the receiver hears of the program as it is
    // when the session starts, not as it was when the library was made.
    std::optional<QString> versionName;
    std::optional<qint64> versionCode;
    QString currentVersionName() const;
    qint64 currentVersionCode() const;

    // Over the process's platform services, with the application's version.
    static MasterControlServices fromPlatform(const Platform::PlatformServices &platform);
};

// The session with the chosen receiver after a successful handshake: one JSON
// object per line over TCP (the port table's master-control port), a
// heartbeat every second, a reconnect after seven heartbeats without a reply
// and the end of the session (reason 2) after six failed reconnects. It
// learns the receiver's cast mode, multi-screen, mirror mode and cast state,
// asks for a cast or for full screen, owns the cast session and performs every
// disconnect. Lives on the main thread.
//
// Departures from the bare protocol that keep the session safe:
// - once disconnected it hears nothing more from the receiver and closes the
//   connection, so no late answer can start a cast;
// - a cast request the receiver never answers is given up after a time-out
//   and reported as timed out (2), as the receiver itself reports one;
// - a reconnect that neither connects nor fails, or that connects but is
//   never answered, counts as failed when it is replaced, so a receiver that
//   went silent always ends the session.
//
// Destroying it ends the session without any callback: timers stop, a
// running cast ends and the connection closes.
class TLMasterControlPack : public QObject,
                                          public MasterControlSession,
                                          public GCDAsyncSocketDelegate,
                                          public CastPackDelegate {
    Q_OBJECT
public:
    // Heartbeats without a reply after which the session reconnects.
    static constexpr qint64 kHeartbeatMissLimit = 6;
    // Failed reconnects after which the session ends.
    static constexpr qint64 kReconnectFailureLimit = 5;
    // The heartbeat number starts again at 0 after this.
    static constexpr qint64 kHeartbeatIndexLimit = 600000;
    // The answer to a cast request that the application hears when the
    // receiver left it unanswered: as the receiver's own "timed out".
    static constexpr qint64 kCastRequestTimedOut = 2;
    // Keep-alives without an answer after which the direct-cast socket is made again.
    static constexpr qint64 kDirectCastMissLimit = 6;

    TLMasterControlPack(MasterControlPackDelegate *delegate, MasterControlServices services,
                        QObject *parent = nullptr);
    ~TLMasterControlPack() override;

    MasterControlPackDelegate *delegate() const { return m_delegate; }
    void setDelegate(MasterControlPackDelegate *delegate) { m_delegate = delegate; }

    // MasterControlSession
    bool startMasterControlPack() override;
    void startMirror() override;
    void stopMirror() override;
    bool setPasueCast(qint64 status) override;
    bool fullScreenOperator(qint64 status) override;
    void disconnectOperator(qint64 reason) override;
    bool canRecordScreen() override;
    void showScreenRecordingPrompt() override;

    // The direct-cast keep-alive (nothing in the library starts it).
    void startDirectCastRelated();

    // State, for the curious and for tests.
    GCDAsyncSocket *masterControlSocket() const { return m_masterControlSocket.data(); }
    GCDAsyncSocket *directCastSocket() const { return m_directCastSocket.data(); }
    qint64 masterControlHeartBeatIndex() const { return m_masterControlHeartBeatIndex; }
    void setMasterControlHeartBeatIndex(qint64 index) { m_masterControlHeartBeatIndex = index; }
    qint64 directCastHeartBeatIndex() const { return m_directCastHeartBeatIndex; }
    qint64 masterConTimeout() const { return m_masterConTimeout; }
    bool isSupportMasterControl() const { return m_isSupportMasterControl; }
    qint64 isTouchable() const { return m_isTouchable; }
    qint64 directCastTimeout() const { return m_directCastTimeout; }
    bool isMasterConSocketReconnect() const { return m_isMasterConSocketReconnect; }
    qint64 masterConSocketReconnectCount() const { return m_masterConSocketReconnectCount; }
    TLCastPack *castPack() const { return m_castPack.get(); }
    bool isHeartbeatRunning() const { return m_masterConTimer.isActive(); }
    bool isCastRequestPending() const { return m_castRequestTimer.isActive(); }
    // Bytes of an unfinished line from the receiver, kept until its end comes.
    qsizetype pendingReceiverBytes() const { return m_framer.pendingBytes(); }

    // GCDAsyncSocketDelegate
    void socketDidConnectToHost(GCDAsyncSocket *sock, const QString &host, quint16 port) override;
    void socketDidReadData(GCDAsyncSocket *sock, const QByteArray &data, qint64 tag) override;
    void socketDidDisconnect(GCDAsyncSocket *sock, const OptionalTavlinError &error) override;

    // CastPackDelegate
    void castPack_castSuccess() override;
    void castPack_castStopWithError(const OptionalTavlinError &error) override;

private:
    bool isLive() const;
    QString clientName() const;
    void createMasterControlSocket();
    void sendHeartbeat();
    void sendClientInformation();
    void startMasterConTimer();
    void masterConTimerTick();
    void reconnect();
    // Counts the reconnect now being replaced as failed, unless it was
    // answered or already counted; true when that ends the session.
    bool countAbandonedReconnect();
    bool countFailedReconnect();
    void giveUp();
    void handleLine(const QByteArray &line);
    void handleHeartbeatReply(const MasterControlCodec::ReceiverMessage &message);
    void handleCastReply(qint64 reply);
    void castRequestTimedOut();
    void closeSockets(bool afterWriting);
    void directCastTick();
    void handleDirectCastAnswer(const QByteArray &data);

    MasterControlPackDelegate *m_delegate = nullptr;
    MasterControlServices m_services;

    QPointer<GCDAsyncSocket> m_masterControlSocket;
    QPointer<GCDAsyncSocket> m_directCastSocket;
    qint64 m_masterControlHeartBeatIndex = 0;
    qint64 m_directCastHeartBeatIndex = 0;
    QTimer m_masterConTimer;
    qint64 m_masterConTimeout = 0;
    bool m_isSupportMasterControl = false;
    qint64 m_isTouchable = 0;
    QTimer m_directCastTimer;
    qint64 m_directCastTimeout = 0;
    bool m_isMasterConSocketReconnect = false;
    qint64 m_masterConSocketReconnectCount = 0;
    std::unique_ptr<TLCastPack> m_castPack;

    // The session began and has not ended.
    bool m_started = false;
    bool m_ended = false;
    MasterControlCodec::LineFramer m_framer;
    // The current connection is a reconnect; whether it was answered or
    // already counted as failed.
    bool m_attemptIsReconnect = false;
    bool m_attemptAnswered = false;
    bool m_attemptCounted = false;
    // A cast request waits for its answer; one given up on is not acted on
    // when its answer comes late.
    QTimer m_castRequestTimer;
    bool m_castRequestAbandoned = false;
};
