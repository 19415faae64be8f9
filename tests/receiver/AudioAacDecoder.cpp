#include "AudioAacDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

#include <cstring>

QByteArray AudioAacDecoder::castAudioSpecificConfig()
{
    // object type 39 (escape 31, then 39 - 32 = 7), frequency index 4,
    // channel configuration 2, frame length flag 1 (480), no resilience
    // flags, no low-delay SBR, terminator.
    return QByteArray::fromHex("f8e85000");
}

// The sampling rate an AudioSpecificConfig announces (object type, then the
// frequency index or an explicit 24-bit rate); 0 when unreadable.
static int configuredSampleRate(const QByteArray &config)
{
    static constexpr int rates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                    22050, 16000, 12000, 11025, 8000,  7350};
    quint64 bits = 0;
    for (int i = 0; i < 8; ++i)
        bits = (bits << 8) | (i < config.size() ? quint8(config[i]) : 0);
    int used = 0;
    auto take = [&](int count) {
        used += count;
        return int((bits >> (64 - used)) & ((quint64(1) << count) - 1));
    };
    if (config.size() < 2)
        return 0;
    if (take(5) == 31)
        take(6);
    const int index = take(4);
    if (index == 15)
        return take(24);
    return index < int(std::size(rates)) ? rates[index] : 0;
}

AudioAacDecoder::AudioAacDecoder(const QByteArray &audioSpecificConfig)
    : m_configuredRate(configuredSampleRate(audioSpecificConfig))
{
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
    if (!codec) {
        m_openError = QStringLiteral("no AAC decoder");
        return;
    }
    AVCodecContext *context = avcodec_alloc_context3(codec);
    context->extradata = static_cast<uint8_t *>(av_mallocz(audioSpecificConfig.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(context->extradata, audioSpecificConfig.constData(), audioSpecificConfig.size());
    context->extradata_size = static_cast<int>(audioSpecificConfig.size());
    if (const int status = avcodec_open2(context, codec, nullptr); status < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(status, text, sizeof text);
        m_openError = QString::fromUtf8(text);
        avcodec_free_context(&context);
        return;
    }
    m_context = context;
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
}

AudioAacDecoder::~AudioAacDecoder()
{
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_context);
}

bool AudioAacDecoder::decode(const QByteArray &accessUnit)
{
    if (!m_context || accessUnit.isEmpty())
        return false;
    if (av_new_packet(m_packet, static_cast<int>(accessUnit.size())) < 0)
        return false;
    std::memcpy(m_packet->data, accessUnit.constData(), accessUnit.size());
    const int sent = avcodec_send_packet(m_context, m_packet);
    av_packet_unref(m_packet);
    if (sent < 0)
        return false;
    bool decoded = false;
    while (avcodec_receive_frame(m_context, m_frame) == 0) {
        decoded = true;
        // libavcodec leaves the rate of low-delay streams unset; the
        // configuration announced it.
        m_sampleRate = m_frame->sample_rate > 0 ? m_frame->sample_rate
                       : m_context->sample_rate > 0 ? m_context->sample_rate
                                                    : m_configuredRate;
        m_channels = m_frame->ch_layout.nb_channels;
        m_frameSizes.append(m_frame->nb_samples);
        for (int channel = 0; channel < m_channels && channel < 8; ++channel) {
            for (int i = 0; i < m_frame->nb_samples; ++i) {
                float value = 0;
                switch (m_frame->format) {
                case AV_SAMPLE_FMT_FLTP:
                    value = reinterpret_cast<const float *>(m_frame->extended_data[channel])[i];
                    break;
                case AV_SAMPLE_FMT_S16P:
                    value = reinterpret_cast<const int16_t *>(m_frame->extended_data[channel])[i] / 32768.0f;
                    break;
                case AV_SAMPLE_FMT_FLT:
                    value = reinterpret_cast<const float *>(m_frame->data[0])[i * m_channels + channel];
                    break;
                case AV_SAMPLE_FMT_S16:
                    value = reinterpret_cast<const int16_t *>(m_frame->data[0])[i * m_channels + channel] / 32768.0f;
                    break;
                default:
                    break;
                }
                m_samples[channel].append(value);
            }
        }
        av_frame_unref(m_frame);
    }
    return decoded;
}
