#include "Mirror/AudioSession.h"

#include <QDebug>
#include <QDir>
#include <QFile>

#include "Mirror/AudioRtpPacket.h"
#include "Mirror/TickCount.h"
#include "Utils/ThreadHandover.h"

AudioSessionServices AudioSessionServices::fromPlatform(const Platform::PlatformServices &platform)
{
    AudioSessionServices services;
    services.devices = platform.soundDevices;
    services.makeSoundSource = platform.makeSoundSource;
    services.tickCount = &AudioSession::tickCount;
    return services;
}

AudioSession::AudioSession(DevicePtr device, qint64 dataPort, AudioSessionServices services, MediaThread &media,
                           QObject *parent)
    : QObject(parent), m_device(std::move(device)), m_dataPort(dataPort), m_media(media),
      m_services(std::move(services))
{
    m_audioSocket = m_media.make<AsyncUdpSocket>();
}

AudioSession::~AudioSession() { stop(); }

quint32 AudioSession::tickCount()
{
    return GetTickCount();
}

std::optional<Platform::SoundDevice> AudioSession::getRecordingAudioDevice()
{
    if (!m_services.devices)
        return std::nullopt;
    QList<Platform::SoundDevice> captures;
    m_services.devices->listCaptureDevices(&captures);
    for (const Platform::SoundDevice &device : std::as_const(captures)) {
        if (device.uniqueId == QLatin1String(kRecordingDeviceUniqueId))
            return device;
    }
    return std::nullopt;
}

void AudioSession::start()
{
    if (m_stopped || m_source)
        return;
    if (m_dataPort < 1 || m_dataPort > 65535 || !m_device) {
        qInfo().noquote() << "audio sender not started: no valid data port" << m_dataPort;
        return;
    }
    const std::optional<Platform::SoundDevice> recording = getRecordingAudioDevice();
    if (!recording) {
        qInfo().noquote() << "ERROR:can not find TavlinAdudio device!";
        return;
    }

    auto encoder = std::make_unique<FdkAACEncoder>(m_services.encoderParameters);
    if (!encoder->isReady()) {
        // Capturing for an encoder that cannot encode would only pile up sound.
        qInfo().noquote() << "audio sender not started: the encoder could not be set up";
        return;
    }
    encoder->setDelegate(this);
    m_fdkEncoder = std::move(encoder);

    std::unique_ptr<Platform::SoundSource> source =
        m_services.makeSoundSource ? m_services.makeSoundSource() : nullptr;
    const Platform::SoundFormat format{m_fdkEncoder->parameters().samplerate, m_fdkEncoder->parameters().channel};
    FdkAACEncoder *encoderOnWorker = m_fdkEncoder.get();
    const bool started = source
                         && source->start(
                             recording->name, format,
                             [this, encoderOnWorker](const QByteArray &pcm) {
                                 if (!m_pauseCast.load())
                                     encoderOnWorker->encode(pcm);
                             },
                             [this](const QString &reason) {
                                 ThreadHandover::post(this, [this, reason] { soundEnded(reason); });
                             });
    if (!started) {
        qInfo().noquote() << "audio sender not started: cannot record from" << recording->name;
        m_fdkEncoder.reset();
        return;
    }
    m_source = std::move(source);
}

void AudioSession::stop()
{
    if (m_source) {
        m_source->stop();
        m_source.reset();
    }
    if (m_fdkEncoder) {
        m_fdkEncoder->finish();
        m_fdkEncoder.reset();
    }
    m_sending = false;
    if (m_audioSocket) {
        // Sends still waiting on the media thread go with the socket.
        m_media.destroy(m_audioSocket);
        m_audioSocket = nullptr;
    }
    m_stopped = true;
}

void AudioSession::soundEnded(const QString &reason)
{
    if (!m_source)
        return;
    // The picture does not depend on the sound: say it once and go on
    // without, as when the sound could not be set up at the start.
    qInfo().noquote() << "sound capture ended:" << reason << "- casting without sound";
    m_source->stop();
    m_source.reset();
    if (m_fdkEncoder) {
        m_fdkEncoder->finish();
        m_fdkEncoder.reset();
    }
}

void AudioSession::gotAACEncodedData(const QByteArray &data) { RTPPackAndSend(data); }

void AudioSession::RTPPackAndSend(const QByteArray &frame)
{
    if (frame.size() > AudioRtpPacket::kMaxPayloadSize) {
        qInfo().noquote() << "audio frame of" << frame.size() << "bytes does not fit a datagram; dropped";
        return;
    }
    const quint16 sequence = m_seqno.fetch_add(1);
    const quint32 timestamp = m_services.tickCount ? m_services.tickCount() : tickCount();
    std::optional<QByteArray> datagram = AudioRtpPacket::pack(sequence, timestamp, frame);
    if (!datagram)
        return;
    sendDatagram(*datagram);
}

void AudioSession::sendDatagram(const QByteArray &datagram)
{
    // The socket lives until stop(), which first ends every thread that
    // packs sound (and this call with it); the sends it has not made yet die
    // with it.
    AsyncUdpSocket *socket = m_audioSocket;
    if (!socket || !m_device || !m_sending.load())
        return;
    ThreadHandover::post(socket, [this, socket, datagram, host = m_device->mHostIp, port = quint16(m_dataPort)] {
        if (m_sending.load())
            socket->sendData(datagram, host, port, -1, 0);
    });
}

QString AudioSession::dumpPCMPath() { return QDir::temp().filePath(QStringLiteral("tavlin_audio_dump.pcm")); }

void AudioSession::dumpPCM(const QByteArray &pcm)
{
    QFile file(dumpPCMPath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(pcm);
}

void AudioSession::removePCM() { QFile::remove(dumpPCMPath()); }
