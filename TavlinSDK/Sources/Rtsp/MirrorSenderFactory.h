#pragma once

#include <memory>

#include "Mirror/CastPipeline.h"
#include "RemoteControl/RemoteController.h"
#include "Rtsp/MirrorSenders.h"

// What the real media and remote input of a cast are made with.
struct MirrorSenderServices {
    VideoSenderServices video;
    AudioSessionServices audio;
    RemoteControllerServices remoteInput;
};

// The real classes over `services`: a CastPipeline for each cast's media,
// and RemoteController. The controller's keyboard-viewer requests are
// posted on the default notification centre.
MirrorSenderFactory makeMirrorSenderFactory(MirrorSenderServices services);
