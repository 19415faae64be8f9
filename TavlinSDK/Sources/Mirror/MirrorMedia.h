#pragma once

#include <QtGlobal>
#include <functional>

#include "Mirror/EncoderSizeRequest.h"

// The status callback of a cast's media (MirrorSocketStatus).
using MirrorMonitorCallback = std::function<void(qint32)>;

// The media of one cast as its control session drives it: the picture of the
// capture road the processor brand chooses, and the sound. CastPipeline is
// the real one; the control session's tests hand in doubles.
class MirrorMedia {
public:
    virtual ~MirrorMedia() = default;

    // The video sender's statuses (connected, its connection's end).
    virtual void setMonitorCallback(MirrorMonitorCallback callback) = 0;
    // The receiver answered the video "SETUP": the picture's connection,
    // and once it is up, capture and coding.
    virtual void startVideo() = 0;
    // The receiver answered the audio "SETUP" with its data port: the sound.
    // It starts paused when the picture is.
    virtual void startSound(quint16 dataPort) = 0;
    // Ends everything started, in the reverse order, every thread joined.
    // No status follows, and nothing starts again.
    virtual void stop() = 0;
    // Capture goes on; coding and sending of picture and sound stop.
    virtual void setPaused(bool paused) = 0;
    // The picture's pause mark.
    virtual bool isPaused() const = 0;
    // The receiver asks for another encoder size (the notification of this
    // media's road).
    virtual void changeEncoderSize(const EncoderSizeRequest &request) = 0;
};
