#include "Mirror/AACEncoder.h"

#include <fdk-aac/aacenc_lib.h>

#include <QDebug>

#include "Support/SerialWorker.h"

namespace {

constexpr int kAotAacLc = 2;
constexpr int kTransportRaw = 0;
constexpr int kFramesPerPacket = 1024;

// MPEG-4 sampling frequency index of a rate; 15 (explicit) when unlisted.
int samplingIndex(int rate)
{
    static constexpr int rates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                    22050, 16000, 12000, 11025, 8000,  7350};
    for (int i = 0; i < int(std::size(rates)); ++i) {
        if (rates[i] == rate)
            return i;
    }
    return 15;
}

TavlinError statusError(int status)
{
    return TavlinError(QStringLiteral("NSOSStatusErrorDomain"), status);
}

} // namespace

AACEncoder::AACEncoder()
    : m_encoderQueue(std::make_unique<Support::SerialWorker>("AAC Encoder Queue")),
      m_callbackQueue(std::make_unique<Support::SerialWorker>("AAC Encoder Callback Queue")),
      m_aacBuffer(kAacBufferSize, '\0')
{
}

AACEncoder::~AACEncoder()
{
    // Drain the encoder first, then the callbacks it queued.
    m_encoderQueue.reset();
    m_callbackQueue.reset();
    closeEncoder();
}

void AACEncoder::encode(const AudioSampleBuffer &buffer)
{
    m_encoderQueue->post([this, buffer] { encodeOnQueue(buffer); });
}

void AACEncoder::finish()
{
    m_encoderQueue->postAndWait([this] { closeEncoder(); });
}

void AACEncoder::closeEncoder()
{
    if (m_audioConverter)
        aacEncClose(&m_audioConverter);
    m_audioConverter = nullptr;
}

bool AACEncoder::setupEncoderFromSampleBuffer(const AudioSampleBuffer &buffer)
{
    const int channels = buffer.channels;
    bool ok = channels >= 1 && channels <= 2
              && aacEncOpen(&m_audioConverter, 0, static_cast<UINT>(channels)) == AACENC_OK;
    ok = ok && aacEncoder_SetParam(m_audioConverter, AACENC_AOT, kAotAacLc) == AACENC_OK
         && aacEncoder_SetParam(m_audioConverter, AACENC_GRANULE_LENGTH, kFramesPerPacket) == AACENC_OK
         && aacEncoder_SetParam(m_audioConverter, AACENC_SAMPLERATE, static_cast<UINT>(buffer.sampleRate)) == AACENC_OK
         && aacEncoder_SetParam(m_audioConverter, AACENC_CHANNELMODE, static_cast<UINT>(channels)) == AACENC_OK
         && aacEncoder_SetParam(m_audioConverter, AACENC_CHANNELORDER, 1) == AACENC_OK
         && aacEncoder_SetParam(m_audioConverter, AACENC_TRANSMUX, kTransportRaw) == AACENC_OK
         && aacEncEncode(m_audioConverter, nullptr, nullptr, nullptr, nullptr) == AACENC_OK;
    if (!ok) {
        qInfo().noquote() << "AudioConverterNewSpecific failed";
        closeEncoder();
        return false;
    }
    m_sampleRate.store(buffer.sampleRate);
    m_channels.store(channels);
    return true;
}

void AACEncoder::encodeOnQueue(const AudioSampleBuffer &buffer)
{
    if (!m_audioConverter)
        setupEncoderFromSampleBuffer(buffer);

    m_aacBuffer.fill('\0');
    int status = AACENC_INVALID_HANDLE;
    int produced = 0;
    if (m_audioConverter && buffer.channels == m_channels.load()) {
        // The whole buffer is handed over once; the encoder takes what one
        // packet needs.
        const int sampleCount = static_cast<int>(buffer.data.size() / 2);
        void *inBuffers[] = {const_cast<char *>(buffer.data.constData())};
        INT inIdentifiers[] = {IN_AUDIO_DATA};
        INT inSizes[] = {static_cast<INT>(buffer.data.size())};
        INT inElementSizes[] = {2};
        AACENC_BufDesc inDesc{1, inBuffers, inIdentifiers, inSizes, inElementSizes};
        void *outBuffers[] = {m_aacBuffer.data()};
        INT outIdentifiers[] = {OUT_BITSTREAM_DATA};
        INT outSizes[] = {kAacBufferSize};
        INT outElementSizes[] = {1};
        AACENC_BufDesc outDesc{1, outBuffers, outIdentifiers, outSizes, outElementSizes};
        AACENC_InArgs inArgs{};
        inArgs.numInSamples = sampleCount;
        AACENC_OutArgs outArgs{};
        status = aacEncEncode(m_audioConverter, &inDesc, &outDesc, &inArgs, &outArgs);
        produced = outArgs.numOutBytes;
        // Less sound than one packet needs gives no packet: report it as the
        // failure it is for the caller.
        if (status == AACENC_OK && produced <= 0)
            status = -1;
    }
    qInfo().noquote() << QStringLiteral("PCM Buffer Size: %1  status:%2 ").arg(buffer.data.size()).arg(status);

    QByteArray data;
    OptionalTavlinError error;
    if (status == AACENC_OK) {
        data = m_aacBuffer.left(produced);
        qInfo().noquote() << QStringLiteral("aac getdata size %1").arg(data.size());
    } else {
        error = statusError(status);
    }
    if (delegate()) {
        const qint64 timestamp = buffer.presentationTime;
        m_callbackQueue->post([this, data, timestamp, error] {
            if (AACEncoderDelegate *target = delegate())
                target->gotAACEncodedData(data, timestamp, error);
        });
    }
}

QByteArray AACEncoder::adtsDataForPacketLength(qsizetype packetLength) const
{
    const qsizetype fullLength = packetLength + 7;
    const int profile = 1; // AAC-LC, as the ADTS header counts it (object type - 1)
    const int frequency = samplingIndex(m_sampleRate.load());
    const int channelConfiguration = m_channels.load();
    QByteArray header(7, '\0');
    header[0] = char(0xFF);
    header[1] = char(0xF9);
    header[2] = char((profile << 6) | (frequency << 2) | (channelConfiguration >> 2));
    header[3] = char(((channelConfiguration & 3) << 6) | ((fullLength >> 11) & 3));
    header[4] = char((fullLength & 0x7FF) >> 3);
    header[5] = char(((fullLength & 7) << 5) | 0x1F);
    header[6] = char(0xFC);
    return header;
}
