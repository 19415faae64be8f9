#include "AudioRtpReceiver.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtEndian>

AudioRtpReceiver::AudioRtpReceiver(QObject *parent)
    : QObject(parent), m_decoder(std::make_unique<AudioAacDecoder>())
{
}

AudioRtpReceiver::~AudioRtpReceiver() = default;

bool AudioRtpReceiver::listen(const QHostAddress &address, quint16 port)
{
    delete m_socket;
    m_socket = new QUdpSocket(this);
    connect(m_socket, &QUdpSocket::readyRead, this, &AudioRtpReceiver::readPending);
    return m_socket->bind(address, port);
}

quint16 AudioRtpReceiver::port() const { return m_socket ? m_socket->localPort() : 0; }

void AudioRtpReceiver::setAudioSpecificConfig(const QByteArray &config)
{
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
    if (const QString problem = headerProblem(datagram); !problem.isEmpty()) {
        m_problems << problem;
        emit packetReceived();
        return;
    }
    const auto *bytes = reinterpret_cast<const uchar *>(datagram.constData());
    Packet packet;
    packet.sequenceNumber = qFromBigEndian<quint16>(bytes + 2);
    packet.timestamp = qFromBigEndian<quint32>(bytes + 4);
    packet.payload = datagram.mid(12);
    if (!m_packets.isEmpty()) {
        const quint16 expected = static_cast<quint16>(m_packets.constLast().sequenceNumber + 1);
        if (packet.sequenceNumber != expected)
            m_problems << QStringLiteral("sequence %1 after %2").arg(packet.sequenceNumber).arg(m_packets.constLast().sequenceNumber);
        // Milliseconds of the sender's clock never run backwards.
        if (static_cast<qint32>(packet.timestamp - m_packets.constLast().timestamp) < 0)
            m_problems << QStringLiteral("time stamp %1 after %2").arg(packet.timestamp).arg(m_packets.constLast().timestamp);
    }
    if (!m_decoder->decode(packet.payload))
        m_problems << QStringLiteral("payload of packet %1 did not decode").arg(packet.sequenceNumber);
    m_packets.append(packet);
    emit packetReceived();
}
