#include "QVPieceSender.h"

#include <QHostAddress>
#include <QLocale>
#include <QTcpSocket>
#include <QTimer>

#include <optional>

#include <zlib.h>

#include "QVUploadPiece.h"

namespace {

// Only the encodings this sender can undo: Qt's network access also offers
// zstd and br, and a server taking it at its word would send an answer that
// could not be read. Otherwise the request reads as one sent by Qt.
constexpr char kAcceptEncoding[] = "gzip, deflate";
constexpr char kUserAgent[] = "Mozilla/5.0";

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

QByteArray headerValue(const QList<QByteArray> &lines, const QByteArray &name)
{
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

// gzip or zlib-wrapped deflate (and raw deflate, which some servers send
// as "deflate"); nullopt when the bytes are neither or inflate too far.
std::optional<QByteArray> inflateBody(const QByteArray &packed, qint64 limit)
{
    for (const int windowBits : {15 + 32, -15}) {
        z_stream stream {};
        if (inflateInit2(&stream, windowBits) != Z_OK)
            return std::nullopt;
        QByteArray out;
        char buffer[16384];
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.constData()));
        stream.avail_in = uInt(packed.size());
        int status = Z_OK;
        while (status == Z_OK) {
            stream.next_out = reinterpret_cast<Bytef *>(buffer);
            stream.avail_out = sizeof buffer;
            status = inflate(&stream, Z_NO_FLUSH);
            out.append(buffer, qsizetype(sizeof buffer - stream.avail_out));
            if (out.size() > limit)
                status = Z_MEM_ERROR;
            else if (status == Z_OK && stream.avail_in == 0 && stream.avail_out != 0)
                status = Z_BUF_ERROR;
        }
        inflateEnd(&stream);
        if (status == Z_STREAM_END)
            return out;
    }
    return std::nullopt;
}

} // namespace

QVPieceSender::QVPieceSender(QObject *parent) : QObject(parent), m_timeout(new QTimer(this))
{
    m_timeout->setSingleShot(true);
    connect(m_timeout, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("no byte sent or received for %1 ms").arg(m_timeout->interval()));
    });
}

QVPieceSender::~QVPieceSender()
{
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
    m_body = body;
    m_length = body->size();
    m_outcome = {};
    m_retried = false;
    m_timeout->start(int(transferTimeout.count()));
    const QString host = url.host();
    const int port = url.port(80);
    if (m_socket && (m_socket->state() != QAbstractSocket::ConnectedState || host != m_host || port != m_port))
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
    if (!m_body)
        return;
    m_body = nullptr;
    dropConnection();
}

void QVPieceSender::connectTo(const QUrl &url)
{
    m_reused = false;
    m_host = url.host();
    m_port = url.port(80);
    m_socket = new QTcpSocket(this);
    QTcpSocket *socket = m_socket;
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
    if (!m_body || !m_socket)
        return;
    if (!m_body->seek(0)) {
        fail(QStringLiteral("cannot read the piece from its start"));
        return;
    }
    m_answer.clear();
    m_keepAlive = true;
    m_queuedBody = 0;
    m_written = 0;
    const QByteArray head = requestHead(m_url, m_headers, m_length);
    m_headBytes = head.size();
    m_socket->write(head);
    fill();
}

void QVPieceSender::fill()
{
    while (m_body && m_socket && m_queuedBody < m_length && m_socket->bytesToWrite() < kMaxQueuedBytes) {
        const qint64 wanted = qMin(kBlockBytes, m_length - m_queuedBody);
        m_block.resize(wanted);
        const qint64 read = m_body->read(m_block.data(), wanted);
        if (read != wanted) {
            // The piece's own record (a short read) tells the engine why.
            fail(m_body->errorString().isEmpty() ? QStringLiteral("the piece could not be read")
                                                 : m_body->errorString());
            return;
        }
        m_socket->write(m_block.constData(), wanted);
        m_queuedBody += wanted;
    }
}

void QVPieceSender::onBytesWritten(qint64 bytes)
{
    if (!m_body)
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
    if (!m_body || !m_socket)
        return;
    m_answer += m_socket->readAll();
    m_timeout->start();
    switch (parseAnswer(false)) {
    case Parsed::Done:
        finish(QString());
        return;
    case Parsed::Bad:
        fail(QStringLiteral("the server's answer is malformed or too large"));
        return;
    case Parsed::More:
        return;
    }
}

void QVPieceSender::onClosed()
{
    if (!m_body || !m_socket)
        return;
    if (m_socket->bytesAvailable() > 0)
        m_answer += m_socket->readAll();
    if (!m_answer.isEmpty()) {
        if (parseAnswer(true) == Parsed::Done) {
            finish(QString());
            return;
        }
        fail(QStringLiteral("the connection closed inside the server's answer"));
        return;
    }
    // A kept-alive connection the server had closed meanwhile: once more on
    // a new one, as any HTTP client does; the server saw none of it.
    if (m_reused && !m_retried) {
        m_retried = true;
        dropConnection();
        connectTo(m_url);
        return;
    }
    const QString reason = m_socket->errorString();
    fail(reason.isEmpty() ? QStringLiteral("the connection closed before an answer") : reason);
}

QVPieceSender::Parsed QVPieceSender::parseAnswer(bool atClose)
{
    for (;;) {
        const qsizetype headEnd = m_answer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return m_answer.size() > kMaxAnswerHeadBytes || atClose ? Parsed::Bad : Parsed::More;
        if (headEnd > kMaxAnswerHeadBytes)
            return Parsed::Bad;
        const QList<QByteArray> lines = m_answer.left(headEnd).split('\n');
        const QList<QByteArray> statusLine = lines.first().trimmed().split(' ');
        if (statusLine.size() < 2 || !statusLine.first().startsWith("HTTP/1.") || statusLine.at(1).size() != 3)
            return Parsed::Bad;
        bool ok = false;
        const int status = statusLine.at(1).toInt(&ok);
        if (!ok || status < 100 || status > 599)
            return Parsed::Bad;
        const qsizetype bodyStart = headEnd + 4;
        if (status < 200) {
            // "100 Continue" and the like come before the real answer.
            m_answer.remove(0, bodyStart);
            continue;
        }

        const QList<QByteArray> headers = lines.mid(1);
        const QByteArray connection = headerValue(headers, "Connection").toLower();
        m_keepAlive = statusLine.first() == "HTTP/1.1" ? !connection.contains("close")
                                                        : connection.contains("keep-alive");
        QByteArray body;
        qsizetype end = bodyStart;
        if (status == 204 || status == 304) {
            // No body, whatever the headers say.
        } else if (headerValue(headers, "Transfer-Encoding").toLower().contains("chunked")) {
            qsizetype at = bodyStart;
            for (;;) {
                const qsizetype lineEnd = m_answer.indexOf("\r\n", at);
                if (lineEnd < 0)
                    return atClose ? Parsed::Bad : Parsed::More;
                const qint64 size = m_answer.mid(at, lineEnd - at).split(';').first().trimmed().toLongLong(&ok, 16);
                if (!ok || size < 0 || body.size() + size > kMaxAnswerBodyBytes)
                    return Parsed::Bad;
                if (size == 0) {
                    // No trailers are expected: an empty line ends the body.
                    const qsizetype trailerEnd = m_answer.indexOf("\r\n", lineEnd + 2);
                    if (trailerEnd < 0)
                        return atClose ? Parsed::Bad : Parsed::More;
                    end = trailerEnd + 2;
                    break;
                }
                if (m_answer.size() < lineEnd + 2 + size + 2)
                    return atClose ? Parsed::Bad : Parsed::More;
                body += m_answer.mid(lineEnd + 2, size);
                at = lineEnd + 2 + size + 2;
            }
        } else if (const QByteArray length = headerValue(headers, "Content-Length"); !length.isEmpty()) {
            const qint64 bytes = length.toLongLong(&ok);
            if (!ok || bytes < 0 || bytes > kMaxAnswerBodyBytes)
                return Parsed::Bad;
            if (m_answer.size() < bodyStart + bytes)
                return atClose ? Parsed::Bad : Parsed::More;
            body = m_answer.mid(bodyStart, bytes);
            end = bodyStart + bytes;
        } else {
            // The body runs to the end of the connection.
            if (m_answer.size() - bodyStart > kMaxAnswerBodyBytes)
                return Parsed::Bad;
            if (!atClose)
                return Parsed::More;
            body = m_answer.mid(bodyStart);
            end = m_answer.size();
            m_keepAlive = false;
        }
        // Bytes after the answer were never asked for.
        if (end != m_answer.size())
            m_keepAlive = false;

        const QByteArray encoding = headerValue(headers, "Content-Encoding").toLower();
        if (encoding == "gzip" || encoding == "deflate" || encoding == "x-gzip") {
            const auto plain = inflateBody(body, kMaxAnswerBodyBytes);
            if (!plain)
                return Parsed::Bad;
            body = *plain;
        }
        // Any other coding stays as it came: it reads as no JSON answer.
        m_outcome.httpStatus = status;
        m_outcome.body = body;
        return Parsed::Done;
    }
}

void QVPieceSender::finish(const QString &error)
{
    m_timeout->stop();
    if (!m_body)
        return;
    m_outcome.error = error;
    if (!error.isEmpty()) {
        m_outcome.httpStatus = 0;
        m_outcome.body.clear();
    }
    // An answer before the whole body left leaves the connection mid-request.
    const bool wholeBodySent = m_socket && m_queuedBody == m_length && m_socket->bytesToWrite() == 0;
    if (!error.isEmpty() || !m_keepAlive || !wholeBodySent)
        dropConnection();
    m_body = nullptr;
    emit finished();
}
