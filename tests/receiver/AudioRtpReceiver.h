#pragma once

// The receiver's side of a cast's sound: takes the RTP datagrams on its data
// port (the "dataPort" a receiver names in its audio "SETUP" reply), checks
// every header against what a receiver expects and decodes the AAC-ELD
// payloads. Readable from any thread.

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QStringList>
#include <QVector>
#include <atomic>
#include <memory>

#include "AudioAacDecoder.h"
#include "ReceiverEmulator.h"

class QUdpSocket;

class AudioRtpReceiver : public ReceiverComponent {
    Q_OBJECT
public:
    struct Packet {
        quint16 sequenceNumber = 0;
        quint32 timestamp = 0;
        QByteArray payload;
    };

    // Binds `port` of the emulator's address; 0 picks a free port.
    explicit AudioRtpReceiver(ReceiverEmulator &emulator, quint16 port = 0);
    ~AudioRtpReceiver() override;

    QString componentName() const override { return QStringLiteral("audio"); }
    bool start(QString *error) override;
    void stop() override;

    // The data port, once started.
    quint16 port() const { return m_boundPort.load(); }
    // The stream configuration to decode with (before the first datagram).
    void setAudioSpecificConfig(const QByteArray &config);

    // Reads the datagrams already waiting on the socket; on the emulator's
    // thread. What was sent on loopback before is then counted.
    void readWaiting() { readPending(); }

    // Checks one datagram's header; empty when it is what a receiver expects,
    // else the reason.
    static QString headerProblem(const QByteArray &datagram);

    QList<Packet> packets() const;
    int packetCount() const;
    // Header problems, sequence gaps, time going back and refused payloads.
    QStringList problems() const;

    // What the decoder made of the payloads so far.
    int sampleRate() const;
    int channels() const;
    QList<int> frameSizes() const;
    QVector<float> channelSamples(int channel) const;

signals:
    void packetReceived();

private:
    void readPending();
    void handle(const QByteArray &datagram);

    quint16 m_port;
    QUdpSocket *m_socket = nullptr;
    std::atomic<quint16> m_boundPort{0};
    mutable QMutex m_mutex;
    std::unique_ptr<AudioAacDecoder> m_decoder;
    QList<Packet> m_packets;
    QStringList m_problems;
};
