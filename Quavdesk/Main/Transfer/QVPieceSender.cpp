#include "QVPieceSender.h"

#include <QHostAddress>
#include <QLocale>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <mutex>
#include <sys/socket.h>

#include "QVBufferPool.h"
#include "Support/SerialWorker.h"

namespace {

// Only the encodings this sender can undo: Qt's network access also offers
// zstd and br, and a server taking it at its word would send an answer that
// could not be read. Otherwise the request reads as one sent by Qt.
constexpr char kAcceptEncoding[] = "gzip, deflate";
constexpr char kUserAgent[] = "Mozilla/5.0";
// What the socket takes from the network before the answer's reader has
// looked at it.
constexpr qint64 kAnswerReadBytes = 64 * 1024;
constexpr int kBlockBuffers = int(QVPieceSender::kMaxQueuedBytes / QVPieceSender::kBlockBytes);

QByteArray acceptLanguage()
{
    QString locale = QLocale::system().name();
    locale.replace(QLatin1Char('_'), QLatin1Char('-'));
    if (locale == QStringLiteral("C"))
        return "en,*";
    if (locale.startsWith(QStringLiteral("en-")))
        return (locale + QStringLiteral(",*")).toLatin1();
    return (locale + QStringLiteral(",en,*")).toLatin1();
}

} // namespace

// What a read on the worker hands its block back through: the sender while
// it lives. A block read for a sender that has gone is dropped.
struct QVPieceSender::Link {
    std::mutex mutex;
    QVPieceSender *sender = nullptr;
};

QVPieceSender::QVPieceSender(Support::SerialWorker *worker, QObject *parent)
    : QObject(parent), m_worker(worker), m_buffers(std::make_shared<QVBufferPool>(kBlockBuffers, kBlockBytes)),
      m_link(std::make_shared<Link>()), m_timeout(new QTimer(this))
{
    m_link->sender = this;
    m_timeout->setSingleShot(true);
    connect(m_timeout, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("no byte sent or received for %1 ms").arg(m_timeout->interval()));
    });
}

QVPieceSender::~QVPieceSender()
{
    {
        std::lock_guard<std::mutex> lock(m_link->mutex);
        m_link->sender = nullptr;
    }
    dropConnection();
}

QByteArray QVPieceSender::requestHead(const QUrl &url, const HeaderList &headers, qint64 contentLength)
{
    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty())
        target = "/";
    if (url.hasQuery())
        target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    QByteArray host;
    const QHostAddress address(url.host());
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        host = '[' + url.host().toLatin1() + ']';
    else if (!address.isNull())
        host = url.host().toLatin1();
    else
        host = QUrl::toAce(url.host());
    if (url.port() != -1)
        host += ':' + QByteArray::number(url.port());

    QByteArray head = "POST " + target + " HTTP/1.1\r\nHost: " + host + "\r\n";
    for (const auto &[name, value] : headers)
        head += name + ": " + value + "\r\n";
    head += "Content-Length: " + QByteArray::number(contentLength) + "\r\n";
    head += "Connection: Keep-Alive\r\n";
    head += QByteArray("Accept-Encoding: ") + kAcceptEncoding + "\r\n";
    head += "Accept-Language: " + acceptLanguage() + "\r\n";
    head += QByteArray("User-Agent: ") + kUserAgent + "\r\n\r\n";
    return head;
}

void QVPieceSender::post(const QUrl &url, const HeaderList &headers, QVUploadPiece *body,
                         std::chrono::milliseconds transferTimeout)
{
    abort();
    m_url = url;
    m_headers = headers;
    m_source = body->source();
    m_length = body->size();
    m_outcome = {};
    m_retried = false;
    if (!m_source) {
        // Not opened: nothing can be read from it. Told after post() has
        // returned, as any other end.
        m_outcome.error = QStringLiteral("the piece is not open");
        QTimer::singleShot(0, this, [this, generation = m_generation] {
            if (generation == m_generation)
                emit finished();
        });
        return;
    }
    m_timeout->start(int(transferTimeout.count()));
    const QString host = url.host();
    const int port = url.port(80);
    if (m_socket && (m_socket->state() != QAbstractSocket::ConnectedState || host != m_host || port != m_port
                     || !idleConnectionUsable()))
        dropConnection();
    if (m_socket) {
        m_reused = true;
        startRequest();
    } else {
        connectTo(url);
    }
}

void QVPieceSender::abort()
{
    m_timeout->stop();
    ++m_generation;
    if (!m_source)
        return;
    m_source.reset();
    dropConnection();
}

bool QVPieceSender::idleConnectionUsable() const
{
    if (m_socket->bytesAvailable() > 0)
        return false;
    // A close (or bytes) the server sent after its last answer may still wait
    // unread in the system: a request written now would be lost with the
    // connection, part of its body perhaps already gone.
    char byte = 0;
    const ssize_t peeked = ::recv(int(m_socket->socketDescriptor()), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return peeked < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

void QVPieceSender::connectTo(const QUrl &url)
{
    m_reused = false;
    m_host = url.host();
    m_port = url.port(80);
    m_socket = new QTcpSocket(this);
    QTcpSocket *socket = m_socket;
    // The answer is taken from the socket as it arrives and bounded by its
    // reader; the socket holds no more than this meanwhile.
    socket->setReadBufferSize(kAnswerReadBytes);
    connect(socket, &QTcpSocket::connected, this, [this, socket] {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        startRequest();
    });
    connect(socket, &QTcpSocket::bytesWritten, this, &QVPieceSender::onBytesWritten);
    connect(socket, &QTcpSocket::readyRead, this, &QVPieceSender::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &QVPieceSender::onClosed);
    connect(socket, &QTcpSocket::errorOccurred, this, &QVPieceSender::onClosed);
    socket->connectToHost(m_host, quint16(m_port));
}

void QVPieceSender::dropConnection()
{
    if (!m_socket)
        return;
    QTcpSocket *socket = std::exchange(m_socket, nullptr);
    socket->disconnect(this);
    socket->abort();
    // It may be the sender of the signal being handled.
    socket->deleteLater();
}

void QVPieceSender::startRequest()
{
    if (!m_source || !m_socket)
        return;
    ++m_generation;
    m_parser = QVPieceAnswerParser(m_answerLimits);
    m_requested = 0;
    m_queuedBody = 0;
    m_readsInFlight = 0;
    m_written = 0;
    const QByteArray head = requestHead(m_url, m_headers, m_length);
    m_headBytes = head.size();
    m_socket->write(head);
    fill();
}

void QVPieceSender::fill()
{
    while (m_source && m_socket && m_requested < m_length
           && m_socket->bytesToWrite() + m_readsInFlight * kBlockBytes < kMaxQueuedBytes) {
        QByteArray buffer = m_buffers->take();
        if (buffer.isNull()) {
            // Every buffer still carries a block of an earlier request; each
            // one that comes back asks for more.
            return;
        }
        const qint64 position = m_requested;
        const qint64 wanted = qMin(kBlockBytes, m_length - position);
        m_requested += wanted;
        ++m_readsInFlight;
        m_worker->post([link = m_link, source = m_source, generation = m_generation, position, wanted,
                        buffer = std::move(buffer)]() mutable {
            const qint64 read = source->read(position, buffer.data(), wanted);
            std::lock_guard<std::mutex> lock(link->mutex);
            if (!link->sender)
                return;
            QVPieceSender *sender = link->sender;
            QMetaObject::invokeMethod(
                sender,
                [sender, generation, position, buffer = std::move(buffer), read]() mutable {
                    sender->onBlockRead(generation, position, std::move(buffer), read);
                },
                Qt::QueuedConnection);
        });
    }
}

void QVPieceSender::onBlockRead(quint64 generation, qint64 position, QByteArray buffer, qint64 length)
{
    if (generation != m_generation || !m_source || !m_socket) {
        m_buffers->give(std::move(buffer));
        fill();
        return;
    }
    --m_readsInFlight;
    const qint64 wanted = qMin(kBlockBytes, m_length - position);
    if (length != wanted || position != m_queuedBody) {
        m_buffers->give(std::move(buffer));
        // The piece's own record (a short read) tells the engine why.
        fail(m_source->shortRead() ? m_source->shortReadText() : QStringLiteral("the piece could not be read"));
        return;
    }
    m_socket->write(buffer.constData(), length);
    m_buffers->give(std::move(buffer));
    m_queuedBody += length;
    fill();
}

void QVPieceSender::onBytesWritten(qint64 bytes)
{
    if (!m_source)
        return;
    m_written += bytes;
    m_timeout->start();
    const qint64 sent = qBound<qint64>(0, m_written - m_headBytes, m_length);
    if (sent > 0)
        emit uploadProgress(sent, m_length);
    fill();
}

void QVPieceSender::onReadyRead()
{
    if (!m_source || !m_socket)
        return;
    m_timeout->start();
    QByteArray block;
    while (m_socket && m_socket->bytesAvailable() > 0) {
        block = m_socket->read(kAnswerReadBytes);
        switch (m_parser.feed(block)) {
        case QVPieceAnswerParser::State::Done:
            finish(QString());
            return;
        case QVPieceAnswerParser::State::Bad:
            fail(QStringLiteral("the server's answer is malformed or too large: %1").arg(m_parser.error()));
            return;
        case QVPieceAnswerParser::State::More:
            break;
        }
    }
}

void QVPieceSender::onClosed()
{
    if (!m_source || !m_socket)
        return;
    while (m_socket->bytesAvailable() > 0 && m_parser.state() == QVPieceAnswerParser::State::More)
        m_parser.feed(m_socket->read(kAnswerReadBytes));
    if (m_parser.consumed() > 0) {
        if (m_parser.close() == QVPieceAnswerParser::State::Done) {
            finish(QString());
            return;
        }
        fail(QStringLiteral("the connection closed inside the server's answer: %1").arg(m_parser.error()));
        return;
    }
    // A kept-alive connection the server had closed meanwhile: once more on
    // a new one, as any HTTP client does, but only while no byte of the body
    // has left (bytes that left may have reached the server).
    if (m_reused && !m_retried && m_written <= m_headBytes) {
        m_retried = true;
        dropConnection();
        connectTo(m_url);
        return;
    }
    const QString reason = m_socket->errorString();
    fail(reason.isEmpty() ? QStringLiteral("the connection closed before an answer") : reason);
}

void QVPieceSender::finish(const QString &error)
{
    m_timeout->stop();
    if (!m_source)
        return;
    m_outcome.error = error;
    m_outcome.bodySent = m_socket && m_queuedBody == m_length && m_socket->bytesToWrite() == 0;
    if (error.isEmpty()) {
        m_outcome.httpStatus = m_parser.status();
        m_outcome.body = m_parser.body();
    } else {
        m_outcome.httpStatus = 0;
        m_outcome.body.clear();
    }
    // An answer before the whole body left leaves the connection mid-request.
    if (!error.isEmpty() || !m_parser.keepAlive() || !m_outcome.bodySent)
        dropConnection();
    ++m_generation;
    m_source.reset();
    emit finished();
}
