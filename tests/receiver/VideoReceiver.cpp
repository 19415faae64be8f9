#include "VideoReceiver.h"

#include <QMetaObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>

#include "ReceiverTcp.h"
#include "VideoStreamDecoder.h"

class VideoReceiverWorker : public QObject {
public:
    explicit VideoReceiverWorker(VideoReceiver &owner) : m_owner(owner) {}

    bool listen(const QHostAddress &address, quint16 port, QString *error)
    {
        m_server = ReceiverTcp::listen(this, address, port, error);
        if (!m_server)
            return false;
        connect(m_server, &QTcpServer::newConnection, this, &VideoReceiverWorker::accept);
        std::lock_guard lock(m_owner.m_mutex);
        m_owner.m_port = m_server->serverPort();
        return true;
    }

    void setReading(bool reading)
    {
        m_reading = reading;
        if (m_socket)
            m_socket->setReadBufferSize(reading ? 0 : 1);
        if (reading)
            read();
    }

    void closeConnection()
    {
        if (m_socket)
            m_socket->abort();
    }

private:
    void accept()
    {
        while (QTcpSocket *next = m_server->nextPendingConnection()) {
            // One stream at a time: a new connection is a new cast.
            if (m_socket)
                m_socket->abort();
            m_socket = next;
            m_socket->setParent(this);
            m_buffer.clear();
            m_decoder = std::make_unique<VideoStreamDecoder>();
            if (!m_reading)
                m_socket->setReadBufferSize(1);
            connect(m_socket, &QTcpSocket::readyRead, this, &VideoReceiverWorker::read);
            connect(m_socket, &QTcpSocket::disconnected, this, [this, s = QPointer<QTcpSocket>(m_socket)] {
                if (s == m_socket) {
                    std::lock_guard lock(m_owner.m_mutex);
                    m_owner.m_connected = false;
                }
            });
            std::lock_guard lock(m_owner.m_mutex);
            ++m_owner.m_connections;
            m_owner.m_connected = true;
        }
    }

    void read()
    {
        if (!m_socket || !m_reading)
            return;
        m_buffer.append(m_socket->readAll());
        for (;;) {
            if (m_buffer.size() < 128)
                return;
            const auto *h = reinterpret_cast<const uchar *>(m_buffer.constData());
            VideoReceivedPacket packet;
            packet.length = qFromLittleEndian<quint32>(h);
            packet.type = qFromLittleEndian<quint16>(h + 4);
            packet.timestamp = qFromLittleEndian<quint64>(h + 8);
            QStringList problems;
            if (h[6] || h[7])
                problems << QStringLiteral("bytes 6-7 not zero");
            for (int i = 16; i < 128; ++i) {
                if (h[i]) {
                    problems << QStringLiteral("byte %1 not zero").arg(i);
                    break;
                }
            }
            if (packet.type != 256 && packet.type != 257)
                problems << QStringLiteral("unknown type %1").arg(packet.type);
            if (packet.length > VideoReceiver::kMaxPayload) {
                problems << QStringLiteral("length %1").arg(packet.length);
                {
                    std::lock_guard lock(m_owner.m_mutex);
                    m_owner.m_headerErrors << problems;
                }
                // Aborting reports the close at once, and its slot takes the lock.
                m_socket->abort();
                return;
            }
            if (m_buffer.size() < 128 + qsizetype(packet.length))
                return;
            packet.payload = m_buffer.mid(128, packet.length);
            m_buffer.remove(0, 128 + packet.length);
            packet.nalTypes = VideoStreamDecoder::nalTypes(packet.payload);
            if (m_owner.m_decoding)
                m_decoder->decode(packet.payload);

            std::lock_guard lock(m_owner.m_mutex);
            m_owner.m_headerErrors << problems;
            m_owner.m_payloadBytes += packet.length;
            m_owner.m_packets.append(std::move(packet));
            m_owner.m_decodedFrames += m_decoder->frameCount() - m_countedFrames;
            m_owner.m_decodeErrors += m_decoder->errorCount() - m_countedErrors;
            m_countedFrames = m_decoder->frameCount();
            m_countedErrors = m_decoder->errorCount();
            m_owner.m_decodedSize = m_decoder->lastSize();
            for (const QSize &s : m_decoder->sizes()) {
                if (m_owner.m_decodedSizes.isEmpty() || m_owner.m_decodedSizes.last() != s)
                    m_owner.m_decodedSizes.append(s);
            }
            m_owner.m_reorderDepth = std::max(m_owner.m_reorderDepth, m_decoder->reorderDepth());
            m_lumaSample = m_decoder.get();
        }
    }

public:
    int lumaAt(int x, int y) const { return m_lumaSample ? m_lumaSample->lumaAt(x, y) : -1; }

private:
    VideoReceiver &m_owner;
    QTcpServer *m_server = nullptr;
    QPointer<QTcpSocket> m_socket;
    QByteArray m_buffer;
    std::unique_ptr<VideoStreamDecoder> m_decoder;
    VideoStreamDecoder *m_lumaSample = nullptr;
    int m_countedFrames = 0;
    int m_countedErrors = 0;
    bool m_reading = true;
};

VideoReceiver::VideoReceiver(const QHostAddress &address, quint16 port) : m_address(address), m_requestedPort(port)
{
    m_thread.setObjectName(QStringLiteral("video receiver"));
    m_thread.start();
}

VideoReceiver::~VideoReceiver()
{
    stop();
    m_thread.quit();
    m_thread.wait();
}

bool VideoReceiver::start(QString *error)
{
    stop();
    m_worker = new VideoReceiverWorker(*this);
    m_worker->moveToThread(&m_thread);
    bool ok = false;
    QMetaObject::invokeMethod(
        m_worker, [&] { ok = m_worker->listen(m_address, m_requestedPort, error); }, Qt::BlockingQueuedConnection);
    return ok;
}

void VideoReceiver::stop()
{
    if (!m_worker)
        return;
    QMetaObject::invokeMethod(m_worker, [this] { delete m_worker; }, Qt::BlockingQueuedConnection);
    m_worker = nullptr;
}

quint16 VideoReceiver::port() const
{
    std::lock_guard lock(m_mutex);
    return m_port;
}

void VideoReceiver::setReading(bool reading)
{
    if (m_worker)
        QMetaObject::invokeMethod(m_worker, [this, reading] { m_worker->setReading(reading); },
                                  Qt::BlockingQueuedConnection);
}

void VideoReceiver::setDecoding(bool decoding)
{
    m_decoding = decoding;
}

void VideoReceiver::closeConnection()
{
    if (m_worker)
        QMetaObject::invokeMethod(m_worker, [this] { m_worker->closeConnection(); }, Qt::BlockingQueuedConnection);
}

int VideoReceiver::connectionCount() const
{
    std::lock_guard lock(m_mutex);
    return m_connections;
}

bool VideoReceiver::isConnected() const
{
    std::lock_guard lock(m_mutex);
    return m_connected;
}

QList<VideoReceivedPacket> VideoReceiver::packets() const
{
    std::lock_guard lock(m_mutex);
    return m_packets;
}

int VideoReceiver::packetCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_packets.size());
}

qint64 VideoReceiver::payloadBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_payloadBytes;
}

QStringList VideoReceiver::headerErrors() const
{
    std::lock_guard lock(m_mutex);
    return m_headerErrors;
}

int VideoReceiver::decodedFrames() const
{
    std::lock_guard lock(m_mutex);
    return m_decodedFrames;
}

int VideoReceiver::decodeErrors() const
{
    std::lock_guard lock(m_mutex);
    return m_decodeErrors;
}

QSize VideoReceiver::decodedSize() const
{
    std::lock_guard lock(m_mutex);
    return m_decodedSize;
}

QList<QSize> VideoReceiver::decodedSizes() const
{
    std::lock_guard lock(m_mutex);
    return m_decodedSizes;
}

int VideoReceiver::reorderDepth() const
{
    std::lock_guard lock(m_mutex);
    return m_reorderDepth;
}

int VideoReceiver::lumaAt(int x, int y) const
{
    int value = -1;
    if (m_worker)
        QMetaObject::invokeMethod(m_worker, [&] { value = m_worker->lumaAt(x, y); }, Qt::BlockingQueuedConnection);
    return value;
}
