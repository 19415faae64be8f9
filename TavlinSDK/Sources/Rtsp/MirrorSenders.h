#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>

#include "Device/Device.h"

namespace Platform {
struct PlatformServices;
}

// The senders that a cast control session starts. The session sees each kind
// through one of these interfaces and makes them through MirrorSenderFactory,
// so the session does not depend on how capture, encoding or injection work.

// The status callback every sender of a cast shares (MirrorSocketStatus).
using MirrorMonitorCallback = std::function<void(qint32)>;

// Screen capture and the video connection, either capture road.
class MirrorVideoSender {
public:
    virtual ~MirrorVideoSender() = default;
    virtual void startMrror() = 0;
    virtual void stopMirror() = 0;
    virtual void setMonitorCallback(MirrorMonitorCallback callback) = 0;
    // Capture goes on; encoding and sending stop while paused.
    virtual void setPauseResumeMark(bool pause) = 0;
    virtual bool pauseCast() const = 0;
    virtual void setPauseCast(bool pause) = 0;
};

// Sound capture and its RTP stream to the receiver's "dataPort".
class MirrorAudioSender {
public:
    virtual ~MirrorAudioSender() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool pauseCast() const = 0;
    virtual void setPauseCast(bool pause) = 0;
};

// The receiver's mouse and keyboard events, injected locally.
class MirrorRemoteInput {
public:
    virtual ~MirrorRemoteInput() = default;
    virtual void startController() = 0;
    virtual void stopController() = 0;
};

// How a control session makes its senders. An empty function makes no sender
// of that kind; the session then goes on without it.
struct MirrorSenderFactory {
    // The Apple-silicon capture road (`VideoSession`).
    std::function<std::unique_ptr<MirrorVideoSender>(const DevicePtr &)> makeVideoSession;
    // The other capture road (`VideoDisplaySession`).
    std::function<std::unique_ptr<MirrorVideoSender>(const DevicePtr &)> makeVideoDisplaySession;
    // `AudioSession` for the receiver's data port.
    std::function<std::unique_ptr<MirrorAudioSender>(const DevicePtr &, quint16 dataPort)> makeAudioSession;
    // `RemoteController`.
    std::function<std::unique_ptr<MirrorRemoteInput>(const DevicePtr &)> makeRemoteController;

    // The real senders over the screen, H.264 encoder, sound server and
    // input injection of the process's platform services.
    static MirrorSenderFactory fromPlatform(const Platform::PlatformServices &platform);
};
