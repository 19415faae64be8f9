#pragma once

#include <memory>

#include "Mirror/AudioSession.h"
#include "Mirror/VideoSenderBase.h"
#include "RemoteControl/RemoteController.h"
#include "Rtsp/MirrorSenders.h"

// A video sender of either capture road as the control session sees it. The
// road keeps its own class and behaviour; the session's calls are handed on.
class MirrorVideoSenderAdapter final : public MirrorVideoSender {
public:
    explicit MirrorVideoSenderAdapter(std::unique_ptr<VideoSenderBase> sender);
    ~MirrorVideoSenderAdapter() override;

    void startMrror() override;
    void stopMirror() override;
    void setMonitorCallback(MirrorMonitorCallback callback) override;
    void setPauseResumeMark(bool pause) override;
    bool pauseCast() const override;
    void setPauseCast(bool pause) override;

    VideoSenderBase *sender() const { return m_sender.get(); }

private:
    std::unique_ptr<VideoSenderBase> m_sender;
};

// What the real senders of a cast are made with.
struct MirrorSenderServices {
    // Unless these name a notification centre, the video senders hear the
    // receiver's encoder-size requests on the library's default centre, where
    // the control session posts them.
    VideoSenderServices video;
    AudioSessionServices audio;
    RemoteControllerServices remoteInput;
};

// The real sender classes over `services`: VideoSession and
// VideoDisplaySession, AudioSession and RemoteController. The controller's
// keyboard-viewer requests are posted on the default notification centre.
MirrorSenderFactory makeMirrorSenderFactory(MirrorSenderServices services);
