#pragma once

#include <QByteArray>

struct AACENCODER;

// Receives each encoded AAC-ELD access unit, on the thread that encoded it.
class FdkAACEncoderDelegate {
public:
    virtual ~FdkAACEncoderDelegate() = default;
    virtual void gotAACEncodedData(const QByteArray & /*data*/) {}
};

// AAC-ELD encoder over fdk-aac: 44100 Hz stereo 16-bit PCM in, raw access
// units of 480 samples per channel out. Not thread-safe: one thread encodes,
// and finish() runs only once that thread no longer does.
class FdkAACEncoder {
public:
    // The encoder's settings. Defaults are the ones casts use.
    struct Parameters {
        int channel = 2;
        int samplerate = 44100;
        int bitrate = 192000;
        int profile = 39;   // audio object type AAC-ELD
        int framelen = 480; // granule length
    };

    FdkAACEncoder();
    explicit FdkAACEncoder(const Parameters &parameters);
    ~FdkAACEncoder();
    FdkAACEncoder(const FdkAACEncoder &) = delete;
    FdkAACEncoder &operator=(const FdkAACEncoder &) = delete;

    // Opens and configures fdk-aac; false (and a log line naming the failed
    // step) when any step fails. The constructors call it.
    bool initEncoder();
    bool isReady() const { return m_handle != nullptr && m_ready; }

    // Appends PCM and encodes every whole chunk of one frame (1920 bytes for
    // 480 stereo 16-bit samples). A chunk the encoder refuses is dropped, so
    // a failing encoder never accumulates sound.
    void encode(const QByteArray &pcm);
    void finish();

    FdkAACEncoderDelegate *delegate() const { return m_delegate; }
    void setDelegate(FdkAACEncoderDelegate *delegate) { m_delegate = delegate; }
    const QByteArray &pcmData() const { return m_pcmData; }
    void setPcmData(const QByteArray &data) { m_pcmData = data; }

    // From the encoder information after set-up.
    int frameLength() const { return m_frameLength; }
    // The AudioSpecificConfig of the stream (what a decoder needs).
    QByteArray audioSpecificConfig() const { return m_audioSpecificConfig; }
    const Parameters &parameters() const { return m_parameters; }

private:
    int chunkBytes() const;

    AACENCODER *m_handle = nullptr;
    bool m_ready = false;
    int m_frameLength = 0;
    QByteArray m_audioSpecificConfig;
    Parameters m_parameters;
    FdkAACEncoderDelegate *m_delegate = nullptr;
    QByteArray m_pcmData;
};
