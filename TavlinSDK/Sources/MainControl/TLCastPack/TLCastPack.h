#pragma once

#include <QObject>
#include <QTimer>
#include <list>
#include <memory>

#include "Device/Device.h"
#include "MainControl/TLCastPack/CastControlSession.h"
#include "MainControl/TLCastPack/CastPackDelegate.h"
#include "Platform/DisplaySleepInhibitor.h"
#include "Platform/PlatformServices.h"
#include "Platform/SoundDevices.h"
#include "Rtsp/RTSPClient.h"
#include "TavlinError.h"

// Intervals of the cast session, in milliseconds.
struct CastPackTimings {
    // A freeze takes effect this long after it was asked for.
    int pauseDelayMs = 200;
    // A stopped control session is kept this long, so that its last request
    // and the close reach the receiver, then dropped.
    int stoppedControlLingerMs = 2000;
};

// What a cast session needs from outside.
struct CastPackServices {
    // Makes each cast's control session; when empty, an RTSPClient with
    // `rtsp` as its services.
    CastControlFactory controlFactory;
    RTSPClientServices rtsp;
    // The sound server's outputs; none: the output is never switched.
    std::shared_ptr<Platform::SoundDevices> soundDevices;
    // Keeps the display awake during a cast; none: the display may sleep.
    std::shared_ptr<Platform::DisplaySleepInhibitor> displaySleepInhibitor;
    CastPackTimings timings;

    // The sound server, the screen saver and the real senders of the
    // process's platform services.
    static CastPackServices fromPlatform(const Platform::PlatformServices &platform);
};

// One screen cast to the chosen receiver at a time: makes the cast's control
// session, keeps the display awake, moves the sound to the virtual device
// "Sonvale" while the cast runs and back afterwards, turns the control
// session's statuses into success or a typed error, and freezes and resumes
// the picture. The master-control session owns one and is its delegate.
//
// Destroying it ends a running cast without any callback, with the sound
// output and the display as they were before the cast.
class TLCastPack : public QObject {
    Q_OBJECT
public:
    // Log line and name of the display inhibition.
    static constexpr const char *kKeepScreenOnReason = "Velmora is casting";
    // Casts in a row the recast path makes before it gives up.
    static constexpr qint64 kRecastLimit = 6;

    TLCastPack(CastPackDelegate *delegate, CastPackServices services, QObject *parent = nullptr);
    ~TLCastPack() override;

    CastPackDelegate *delegate() const { return m_delegate; }
    void setDelegate(CastPackDelegate *delegate) { m_delegate = delegate; }

    // Non-zero starts a cast to the chosen receiver (ignored while one runs);
    // 0 stops the running one and reports the stop without an error.
    void castOperator(qint64 operation);
    // A control session exists and is busy.
    bool isCasting() const;
    bool isMirroring() const;
    // 1 freezes the picture after the delay, 0 resumes it (and cancels a
    // freeze still waiting).
    void pauseResumeCast(qint64 operation);

    // The steps of a cast.
    void startMirror(const DevicePtr &device);
    void stopCastPack();
    void keepScreenOn();
    void stopWakeTimer();
    void mute_on();
    void mute_off();
    void pauseCast();

    // The recast path: ends the running cast's control session and starts a
    // new cast to the chosen receiver, up to kRecastLimit times in a row.
    void recastPack();
    void recastOperator();
    void recastCancelPack();
    void recastSuccessPack();

    // The error a failure status is reported with; none for other statuses.
    static OptionalTavlinError errorForStatus(qint32 status);

    CastControlSession *mRtspClient() const { return m_mRtspClient.get(); }
    quint32 defaultAudioId() const { return m_defaultAudioId; }
    bool isCast() const { return m_isCast; }
    quint32 assertionID() const { return m_assertionID; }
    bool isCancelRecast() const { return m_isCancelRecast; }
    void setIsCancelRecast(bool value) { m_isCancelRecast = value; }
    qint64 recastCount() const { return m_recastCount; }
    // A freeze is waiting for its delay.
    bool isPausePending() const { return m_pauseTimer.isActive(); }

private:
    void onStatus(CastControlSession *control, qint32 status);
    // Stops and lets go of the control session; it is dropped a little later.
    void dropControl();
    // The end of a cast without any report: control session, sound, display.
    void endCast(bool resetPause);

    CastPackDelegate *m_delegate = nullptr;
    CastPackServices m_services;

    std::unique_ptr<CastControlSession> m_mRtspClient;
    quint32 m_defaultAudioId = 0;
    bool m_isCast = false;
    quint32 m_assertionID = 0;
    bool m_isCancelRecast = false;
    qint64 m_recastCount = 0;

    QTimer m_pauseTimer;
    std::list<std::unique_ptr<CastControlSession>> m_stoppedControls;
};
