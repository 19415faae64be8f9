#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>
#include <memory>

#include "AudioAacDecoder.h"

class QUdpSocket;

// The receiver's side of a cast's sound: takes the RTP datagrams on the data
// port, checks every header against what the receiver expects and decodes
// the AAC-ELD payloads.
class AudioRtpReceiver : public QObject {
    Q_OBJECT
public:
    struct Packet {
        quint16 sequenceNumber = 0;
        quint32 timestamp = 0;
        QByteArray payload;
    };

    explicit AudioRtpReceiver(QObject *parent = nullptr);
    ~AudioRtpReceiver() override;

    // Binds the data port (0 picks one) on that address.
    bool listen(const QHostAddress &address, quint16 port = 0);
    quint16 port() const;
    void setAudioSpecificConfig(const QByteArray &config);

    // Checks one datagram's header; empty when it is what a receiver expects,
    // else the reason.
    static QString headerProblem(const QByteArray &datagram);

    const QList<Packet> &packets() const { return m_packets; }
    // Header problems, sequence gaps and refused payloads, in order.
    const QStringList &problems() const { return m_problems; }
    AudioAacDecoder &decoder() { return *m_decoder; }

signals:
    void packetReceived();

private:
    void readPending();
    void handle(const QByteArray &datagram);

    QUdpSocket *m_socket = nullptr;
    std::unique_ptr<AudioAacDecoder> m_decoder;
    QList<Packet> m_packets;
    QStringList m_problems;
};
