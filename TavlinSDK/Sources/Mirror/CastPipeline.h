#pragma once

#include <memory>

#include "Device/Device.h"
#include "Mirror/AudioSession.h"
#include "Mirror/MediaThread.h"
#include "Mirror/MirrorMedia.h"
#include "Mirror/VideoSenderBase.h"
#include "TavlinExport.h"

// What the media of a cast are made with.
struct CastPipelineServices {
    VideoSenderServices video;
    AudioSessionServices audio;
};

// The media of one cast, and the one owner of its threads. It starts them in
// this order and stops and joins them in the reverse one:
//   1. the media thread, which holds the video connection and the sound's
//      socket;
//   2. the video connection; once it is up, each capture (the first, and one
//      after every re-size) makes a compression session, whose
//   3. coding and
//   4. conversion threads start with it, and then
//   5. capture;
//   6. the sound: its socket on the media thread, its encoder, its capture.
// Made on the main thread with the road's video sender; started and stopped
// by the control session there. Destroying it stops it.
class CastPipeline final : public MirrorMedia {
public:
    // `captureSessionRoad`: the road of the "Apple" processor brand
    // (VideoSession), else the display-stream road (VideoDisplaySession).
    CastPipeline(DevicePtr device, bool captureSessionRoad, CastPipelineServices services);
    ~CastPipeline() override;
    CastPipeline(const CastPipeline &) = delete;
    CastPipeline &operator=(const CastPipeline &) = delete;

    void setMonitorCallback(MirrorMonitorCallback callback) override;
    void startVideo() override;
    void startSound(quint16 dataPort) override;
    void stop() override;
    void setPaused(bool paused) override;
    bool isPaused() const override;
    void changeEncoderSize(const EncoderSizeRequest &request) override;

    VideoSenderBase *video() const { return m_video.get(); }
    // None before the receiver named its data port.
    AudioSession *sound() const { return m_sound.get(); }
    const MediaThread &mediaThread() const { return m_media; }
    MediaThread &mediaThread() { return m_media; }

private:
    DevicePtr m_device;
    CastPipelineServices m_services;
    // First made, last gone: everything below lives on it or feeds it.
    MediaThread m_media;
    std::unique_ptr<VideoSenderBase> m_video;
    std::unique_ptr<AudioSession> m_sound;
    bool m_videoStarted = false;
    bool m_stopped = false;
};
