#include "Mirror/FdkAACEncoder.h"

#include <fdk-aac/aacenc_lib.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kBufferBytes = 4096;
constexpr int kTransportRaw = 0;     // raw access units, no header
constexpr int kChannelOrderWav = 1;

void log(const char *line)
{
    std::printf("%s", line);
    std::fflush(stdout);
}

} // namespace

FdkAACEncoder::FdkAACEncoder() : FdkAACEncoder(Parameters{}) {}

FdkAACEncoder::FdkAACEncoder(const Parameters &parameters) : m_parameters(parameters)
{
    initEncoder();
}

FdkAACEncoder::~FdkAACEncoder() { finish(); }

bool FdkAACEncoder::initEncoder()
{
    finish();
    m_ready = false;
    if (aacEncOpen(&m_handle, 0, static_cast<UINT>(m_parameters.channel)) != AACENC_OK) {
        m_handle = nullptr;
        log("aac EncOpen failed \n");
        return false;
    }
    struct Step {
        AACENC_PARAM parameter;
        int value;
        const char *failure;
    };
    const Step steps[] = {
        {AACENC_AOT, m_parameters.profile, "aacEncoder_SetParam AACENC_AOT failed \n"},
        {AACENC_GRANULE_LENGTH, m_parameters.framelen, "aacEncoder_SetParam AACENC_GRANULE_LENGTH failed \n"},
        {AACENC_SAMPLERATE, m_parameters.samplerate, "aacEncoder_SetParam AACENC_SAMPLERATE failed \n"},
        {AACENC_CHANNELMODE, m_parameters.channel, "aacEncoder_SetParam AACENC_CHANNELMODE failed \n"},
        {AACENC_CHANNELORDER, kChannelOrderWav, "aacEncoder_SetParam AACENC_CHANNELORDER failed \n"},
        {AACENC_BITRATE, m_parameters.bitrate, "aacEncoder_SetParam AACENC_BITRATE failed \n"},
        {AACENC_TRANSMUX, kTransportRaw, "aacEncoder_SetParam AACENC_TRANSMUX failed \n"},
    };
    for (const Step &step : steps) {
        if (aacEncoder_SetParam(m_handle, step.parameter, static_cast<UINT>(step.value)) != AACENC_OK) {
            log(step.failure);
            return false;
        }
    }
    if (aacEncEncode(m_handle, nullptr, nullptr, nullptr, nullptr) != AACENC_OK) {
        log("aacEncEncode aacEncEncode failed \n");
        return false;
    }
    AACENC_InfoStruct info{};
    if (aacEncInfo(m_handle, &info) != AACENC_OK) {
        log("aacEncInfo  failed \n");
        return false;
    }
    m_frameLength = static_cast<int>(info.frameLength);
    m_audioSpecificConfig = QByteArray(reinterpret_cast<const char *>(info.confBuf),
                                       static_cast<qsizetype>(info.confSize));
    m_ready = true;
    log("audio enc init successfully\n");
    return true;
}

int FdkAACEncoder::chunkBytes() const
{
    return m_parameters.framelen * m_parameters.channel * 2;
}

void FdkAACEncoder::encode(const QByteArray &pcm)
{
    m_pcmData.append(pcm);
    const int chunk = chunkBytes();
    if (chunk <= 0 || chunk > kBufferBytes)
        return;

    while (m_pcmData.size() >= chunk) {
        alignas(INT_PCM) char input[kBufferBytes];
        unsigned char output[kBufferBytes];
        std::memcpy(input, m_pcmData.constData(), static_cast<size_t>(chunk));

        void *inBuffers[] = {input};
        INT inIdentifiers[] = {IN_AUDIO_DATA};
        INT inSizes[] = {chunk};
        INT inElementSizes[] = {2};
        AACENC_BufDesc inDesc{1, inBuffers, inIdentifiers, inSizes, inElementSizes};

        void *outBuffers[] = {output};
        INT outIdentifiers[] = {OUT_BITSTREAM_DATA};
        INT outSizes[] = {kBufferBytes};
        INT outElementSizes[] = {1};
        AACENC_BufDesc outDesc{1, outBuffers, outIdentifiers, outSizes, outElementSizes};

        AACENC_InArgs inArgs{};
        inArgs.numInSamples = m_frameLength * m_parameters.channel;
        AACENC_OutArgs outArgs{};

        const AACENC_ERROR status = aacEncEncode(m_handle, &inDesc, &outDesc, &inArgs, &outArgs);
        m_pcmData.remove(0, chunk);
        if (status != AACENC_OK) {
            log("aacEncEncode error \n");
            continue;
        }
        if (outArgs.numOutBytes > 0) {
            if (m_delegate)
                m_delegate->gotAACEncodedData(
                    QByteArray(reinterpret_cast<const char *>(output), outArgs.numOutBytes));
        } else {
            log("not get frame ,return\n");
        }
    }
}

void FdkAACEncoder::finish()
{
    if (m_handle)
        aacEncClose(&m_handle);
    m_handle = nullptr;
    m_ready = false;
}
