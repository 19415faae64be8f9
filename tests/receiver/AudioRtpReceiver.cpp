#include "AudioRtpReceiver.h"

#include <QCommandLineParser>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtEndian>
#include <sys/socket.h>

#include "ReceiverComponentRegistry.h"

AudioRtpReceiver::AudioRtpReceiver(ReceiverEmulator &emulator, quint16 port)
    : ReceiverComponent(emulator), m_port(port), m_decoder(std::make_unique<AudioAacDecoder>())
{
}

AudioRtpReceiver::~AudioRtpReceiver() { stop(); }

bool AudioRtpReceiver::start(QString *error)
{
    stop();
    m_socket = new QUdpSocket(this);
    if (!m_socket->bind(emulator().address(), m_port)) {
        if (error)
            *error = m_socket->errorString();
        delete m_socket;
        m_socket = nullptr;
        return false;
    }
    // A loaded machine can keep this thread from reading for a while; the
    // datagrams must wait for it, not be dropped, or the sequence check
    // would blame the sender for the kernel's loss. Forcing the size needs
    // the administrator's right; without it the system's maximum is taken.
    const int bufferBytes = 4 * 1024 * 1024;
    const int fd = static_cast<int>(m_socket->socketDescriptor());
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bufferBytes, sizeof bufferBytes) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
    m_boundPort.store(m_socket->localPort());
    connect(m_socket, &QUdpSocket::readyRead, this, &AudioRtpReceiver::readPending);
    return true;
}

void AudioRtpReceiver::stop()
{
    delete m_socket;
    m_socket = nullptr;
    m_boundPort.store(0);
}

void AudioRtpReceiver::setAudioSpecificConfig(const QByteArray &config)
{
    QMutexLocker locker(&m_mutex);
    m_decoder = std::make_unique<AudioAacDecoder>(config);
}

QString AudioRtpReceiver::headerProblem(const QByteArray &datagram)
{
    if (datagram.size() <= 12)
        return QStringLiteral("datagram of %1 bytes has no payload").arg(datagram.size());
    if (datagram.size() > 2048)
        return QStringLiteral("datagram of %1 bytes is longer than 2048").arg(datagram.size());
    const auto *bytes = reinterpret_cast<const uchar *>(datagram.constData());
    if (bytes[0] != 0x80)
        return QStringLiteral("first byte %1, not 0x80").arg(bytes[0], 2, 16, QLatin1Char('0'));
    if (bytes[1] != 0x60)
        return QStringLiteral("second byte %1, not 0x60").arg(bytes[1], 2, 16, QLatin1Char('0'));
    if (qFromBigEndian<quint32>(bytes + 8) != 0x01000000u)
        return QStringLiteral("synchronisation source %1, not 01000000")
            .arg(qFromBigEndian<quint32>(bytes + 8), 8, 16, QLatin1Char('0'));
    return {};
}

void AudioRtpReceiver::readPending()
{
    while (m_socket && m_socket->hasPendingDatagrams())
        handle(m_socket->receiveDatagram().data());
}

void AudioRtpReceiver::handle(const QByteArray &datagram)
{
    {
        QMutexLocker locker(&m_mutex);
        if (const QString problem = headerProblem(datagram); !problem.isEmpty()) {
            m_problems << problem;
        } else {
            const auto *bytes = reinterpret_cast<const uchar *>(datagram.constData());
            Packet packet;
            packet.sequenceNumber = qFromBigEndian<quint16>(bytes + 2);
            packet.timestamp = qFromBigEndian<quint32>(bytes + 4);
            packet.payload = datagram.mid(12);
            if (!m_packets.isEmpty()) {
                const Packet &last = m_packets.constLast();
                if (packet.sequenceNumber != quint16(last.sequenceNumber + 1))
                    m_problems << QStringLiteral("sequence %1 after %2").arg(packet.sequenceNumber).arg(last.sequenceNumber);
                // Milliseconds of the sender's clock never run backwards.
                if (qint32(packet.timestamp - last.timestamp) < 0)
                    m_problems << QStringLiteral("time stamp %1 after %2").arg(packet.timestamp).arg(last.timestamp);
            }
            if (!m_decoder->decode(packet.payload))
                m_problems << QStringLiteral("payload of packet %1 did not decode").arg(packet.sequenceNumber);
            m_packets.append(packet);
        }
    }
    emit packetReceived();
}

QList<AudioRtpReceiver::Packet> AudioRtpReceiver::packets() const
{
    QMutexLocker locker(&m_mutex);
    return m_packets;
}

int AudioRtpReceiver::packetCount() const
{
    QMutexLocker locker(&m_mutex);
    return int(m_packets.size());
}

QStringList AudioRtpReceiver::problems() const
{
    QMutexLocker locker(&m_mutex);
    return m_problems;
}

int AudioRtpReceiver::sampleRate() const
{
    QMutexLocker locker(&m_mutex);
    return m_decoder->sampleRate();
}

int AudioRtpReceiver::channels() const
{
    QMutexLocker locker(&m_mutex);
    return m_decoder->channels();
}

QList<int> AudioRtpReceiver::frameSizes() const
{
    QMutexLocker locker(&m_mutex);
    return m_decoder->frameSizes();
}

QVector<float> AudioRtpReceiver::channelSamples(int channel) const
{
    QMutexLocker locker(&m_mutex);
    return m_decoder->channelSamples(channel);
}

namespace {

const ReceiverComponentRegistration registration({
    QStringLiteral("audio"),
    QStringLiteral("receives the cast's RTP sound, checks the headers and decodes the AAC-ELD frames"),
    [](QCommandLineParser &parser) {
        parser.addOption({QStringLiteral("audio-port"), QStringLiteral("UDP data port of the sound (default: a free one)."),
                          QStringLiteral("port"), QStringLiteral("0")});
    },
    [](ReceiverEmulator &emulator, const QCommandLineParser &parser) -> ReceiverComponent * {
        return emulator.addComponent<AudioRtpReceiver>(quint16(parser.value(QStringLiteral("audio-port")).toUInt()));
    },
});

} // namespace
