#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

#include "PlatformExport.h"

namespace Platform {

// What a capture asks for: signed 16-bit little-endian interleaved PCM.
struct SoundFormat {
    int sampleRate = 44100;
    int channels = 2;
};

// Records one capture device. The sound arrives on the source's own worker
// thread; stop() ends the stream and joins that thread, so no callback runs
// once it has returned.
class PLATFORM_EXPORT SoundSource {
public:
    using PcmHandler = std::function<void(const QByteArray &pcm)>;
    // A stream that ends on its own (the sound server went away, the stream
    // failed) says why, once, on the worker thread; no sound follows.
    // stop() is still needed.
    using FailureHandler = std::function<void(const QString &reason)>;

    virtual ~SoundSource() = default;

    // Opens a record stream on the device of that server name. False when
    // the stream could not be opened; nothing is then delivered.
    virtual bool start(const QString &deviceName, const SoundFormat &format, PcmHandler handler,
                       FailureHandler onFailure) = 0;
    virtual void stop() = 0;
};

} // namespace Platform
