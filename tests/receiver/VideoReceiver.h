#pragma once

// The receiver's video port (TCP 51030) on loopback, on a thread of its own:
// it reads the 128-byte-header packets, checks every header, and decodes the
// H.264 they carry with libavcodec. Tests read what it saw through the
// thread-safe accessors.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QSize>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <memory>
#include <mutex>

class VideoReceiverWorker;

struct VideoReceivedPacket {
    quint32 length = 0;
    quint16 type = 0;
    quint64 timestamp = 0;
    QByteArray payload;
    QList<int> nalTypes;
};

class VideoReceiver {
public:
    static constexpr quint16 kDefaultPort = 51030;
    // Longer payloads are taken as a broken header.
    static constexpr quint32 kMaxPayload = 32 * 1024 * 1024;

    explicit VideoReceiver(const QHostAddress &address, quint16 port = kDefaultPort);
    ~VideoReceiver();
    VideoReceiver(const VideoReceiver &) = delete;
    VideoReceiver &operator=(const VideoReceiver &) = delete;

    bool start(QString *error = nullptr);
    void stop();
    QHostAddress address() const { return m_address; }
    quint16 port() const;

    // While not reading, the connection's bytes stay in the kernel, so the
    // sender's writes back up.
    void setReading(bool reading);
    // Without decoding, payloads are only collected (for streams that are not
    // real H.264).
    void setDecoding(bool decoding);
    // The receiver hangs up on the current connection.
    void closeConnection();

    int connectionCount() const;
    bool isConnected() const;
    QList<VideoReceivedPacket> packets() const;
    int packetCount() const;
    qint64 payloadBytes() const;
    // Header faults: non-zero reserved bytes, unknown types, absurd lengths.
    QStringList headerErrors() const;
    int decodedFrames() const;
    int decodeErrors() const;
    QSize decodedSize() const;
    QList<QSize> decodedSizes() const;
    int reorderDepth() const;
    int lumaAt(int x, int y) const;

private:
    friend class VideoReceiverWorker;

    QHostAddress m_address;
    quint16 m_requestedPort;
    QThread m_thread;
    VideoReceiverWorker *m_worker = nullptr;

    mutable std::mutex m_mutex;
    quint16 m_port = 0;
    int m_connections = 0;
    bool m_connected = false;
    QList<VideoReceivedPacket> m_packets;
    qint64 m_payloadBytes = 0;
    QStringList m_headerErrors;
    int m_decodedFrames = 0;
    int m_decodeErrors = 0;
    QSize m_decodedSize;
    QList<QSize> m_decodedSizes;
    int m_reorderDepth = 0;
    std::atomic<bool> m_decoding{true};
};
