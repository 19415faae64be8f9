#pragma once

#include <QByteArray>
#include <atomic>
#include <memory>

#include "TavlinError.h"
#include "TavlinExport.h"

namespace Support {
class SerialWorker;
}
struct AACENCODER;

// One buffer of captured sound: signed 16-bit interleaved PCM and its
// presentation time.
struct AudioSampleBuffer {
    QByteArray data;
    int sampleRate = 44100;
    int channels = 2;
    qint64 presentationTime = 0;
};

// Receives each encoded packet (or the error), on the encoder's callback queue.
class AACEncoderDelegate {
public:
    virtual ~AACEncoderDelegate() = default;
    virtual void gotAACEncodedData(const QByteArray & /*data*/, qint64 /*timestamp*/, const OptionalTavlinError & /*error*/) {}
};

// AAC-LC encoder over fdk-aac: each buffer yields at most one packet of 1024
// samples per channel, without a header; adtsDataForPacketLength() gives the
// header that makes a packet an ADTS frame. Nothing in the library uses it.
class AACEncoder {
public:
    static constexpr int kAacBufferSize = 1024;

    AACEncoder();
    ~AACEncoder();
    AACEncoder(const AACEncoder &) = delete;
    AACEncoder &operator=(const AACEncoder &) = delete;

    // Encodes on the encoder queue; the result reaches the delegate.
    void encode(const AudioSampleBuffer &buffer);
    // Closes the encoder (waits for the buffers already handed over).
    void finish();

    AACEncoderDelegate *delegate() const { return m_delegate.load(); }
    void setDelegate(AACEncoderDelegate *delegate) { m_delegate.store(delegate); }

    // The 7-byte MPEG-2 ADTS header (no CRC) for a packet of that length,
    // with the encoder's sampling rate and channels (before the first buffer:
    // 44100 Hz stereo).
    QByteArray adtsDataForPacketLength(qsizetype packetLength) const;

private:
    bool setupEncoderFromSampleBuffer(const AudioSampleBuffer &buffer);
    void encodeOnQueue(const AudioSampleBuffer &buffer);
    void closeEncoder();

    std::atomic<AACEncoderDelegate *> m_delegate{nullptr};
    std::unique_ptr<Support::SerialWorker> m_encoderQueue;
    std::unique_ptr<Support::SerialWorker> m_callbackQueue;
    AACENCODER *m_audioConverter = nullptr;
    QByteArray m_aacBuffer;
    std::atomic<int> m_sampleRate{44100};
    std::atomic<int> m_channels{2};
};
