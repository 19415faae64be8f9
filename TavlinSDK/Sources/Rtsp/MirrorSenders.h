#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>

#include "Device/Device.h"
#include "Mirror/MirrorMedia.h"
#include "RemoteControl/MirrorRemoteInput.h"

namespace Platform {
struct PlatformServices;
}

// How a control session makes what it drives: the cast's media (picture and
// sound, MirrorMedia) and the remote-input controller. The session sees each
// through its interface, so it does not depend on how capture, encoding or
// injection work. An empty function makes nothing of that kind; the session
// then goes on without it.
struct MirrorSenderFactory {
    // The media of one cast: the capture-session road (`VideoSession`) when
    // `captureSessionRoad`, else the display-stream road
    // (`VideoDisplaySession`), and the sound (`AudioSession`).
    std::function<std::unique_ptr<MirrorMedia>(const DevicePtr &, bool captureSessionRoad)> makeMedia;
    // `RemoteController`.
    std::function<std::unique_ptr<MirrorRemoteInput>(const DevicePtr &)> makeRemoteController;

    // The real ones over the screen, H.264 encoder, sound server and input
    // injection of the process's platform services.
    static MirrorSenderFactory fromPlatform(const Platform::PlatformServices &platform);
};
