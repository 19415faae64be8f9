#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

// Decodes raw AAC access units (no ADTS, no LATM) with libavcodec, as a
// receiver does with the stream configuration it knows in advance.
class AudioAacDecoder {
public:
    // AAC-ELD, 44100 Hz, stereo, 480 samples per frame: the stream that the
    // audio "SETUP" announces.
    static QByteArray castAudioSpecificConfig();

    explicit AudioAacDecoder(const QByteArray &audioSpecificConfig = castAudioSpecificConfig());
    ~AudioAacDecoder();
    AudioAacDecoder(const AudioAacDecoder &) = delete;
    AudioAacDecoder &operator=(const AudioAacDecoder &) = delete;

    bool isOpen() const { return m_context != nullptr; }
    QString openError() const { return m_openError; }

    // Decodes one access unit; false when libavcodec refuses it.
    bool decode(const QByteArray &accessUnit);

    int sampleRate() const { return m_sampleRate; }
    int channels() const { return m_channels; }
    // Samples per channel of each decoded frame, in order.
    const QList<int> &frameSizes() const { return m_frameSizes; }
    // The decoded sound of each channel, as floats in [-1, 1].
    const QVector<float> &channelSamples(int channel) const
    {
        static const QVector<float> none;
        return channel >= 0 && channel < 8 ? m_samples[channel] : none;
    }

private:
    AVCodecContext *m_context = nullptr;
    AVFrame *m_frame = nullptr;
    AVPacket *m_packet = nullptr;
    QString m_openError;
    int m_configuredRate = 0;
    int m_sampleRate = 0;
    int m_channels = 0;
    QList<int> m_frameSizes;
    QVector<float> m_samples[8];
};
