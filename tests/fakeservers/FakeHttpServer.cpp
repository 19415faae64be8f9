#include "FakeHttpServer.h"

#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace FakeServers {

namespace {

constexpr qsizetype kMaxHeaderBytes = 64 * 1024;

QString decodeQueryPart(const QByteArray &part)
{
    return QUrl::fromPercentEncoding(part);
}

} // namespace

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 413: return "Payload Too Large";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

QByteArray HttpRequest::header(const QByteArray &name) const
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return {};
}

bool HttpRequest::hasHeader(const QByteArray &name) const
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString HttpRequest::queryValue(const QString &key) const
{
    for (const QByteArray &pair : rawQuery.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        const QByteArray name = eq < 0 ? pair : pair.left(eq);
        if (decodeQueryPart(name) == key)
            return eq < 0 ? QString() : decodeQueryPart(pair.mid(eq + 1));
    }
    return {};
}

bool HttpRequest::hasQueryItem(const QString &key) const
{
    return queryKeys().contains(key);
}

QStringList HttpRequest::queryKeys() const
{
    QStringList keys;
    if (rawQuery.isEmpty())
        return keys;
    for (const QByteArray &pair : rawQuery.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        keys << decodeQueryPart(eq < 0 ? pair : pair.left(eq));
    }
    return keys;
}

HttpAnswer HttpAnswer::json(const QJsonObject &object, int status)
{
    HttpAnswer answer;
    answer.status = status;
    answer.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    answer.setHeader("Content-Type", "application/json;charset=UTF-8");
    return answer;
}

void HttpAnswer::setHeader(const QByteArray &name, const QByteArray &value)
{
    removeHeader(name);
    headers.append({name, value});
}

void HttpAnswer::removeHeader(const QByteArray &name)
{
    headers.removeIf([&](const auto &header) { return header.first.compare(name, Qt::CaseInsensitive) == 0; });
}

QByteArray HttpAnswer::header(const QByteArray &name) const
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return {};
}

// Deleted later, never inside a handler of its own socket.
struct FakeHttpServer::Connection : QObject {
    QPointer<QTcpSocket> socket;
    QByteArray buffer;
    quint16 localPort = 0;
    // Waiting for a delayed answer, or never answering again.
    bool busy = false;
};

FakeHttpServer::FakeHttpServer(QObject *parent) : QObject(parent) {}

FakeHttpServer::~FakeHttpServer()
{
    close();
}

bool FakeHttpServer::listen(const QHostAddress &address, quint16 port)
{
    if (!address.isLoopback())
        return false;
    if (!m_servers.isEmpty() && address != m_address)
        return false;
    auto *server = new QTcpServer(this);
    if (!server->listen(address, port)) {
        delete server;
        return false;
    }
    m_address = address;
    m_servers.append(server);
    connect(server, &QTcpServer::newConnection, this, [this, server] { onNewConnection(server); });
    return true;
}

void FakeHttpServer::close()
{
    for (QTcpServer *server : std::exchange(m_servers, {})) {
        server->close();
        server->deleteLater();
    }
    for (Connection *connection : std::exchange(m_connections, {})) {
        if (connection->socket) {
            connection->socket->disconnect(this);
            connection->socket->abort();
            connection->socket->deleteLater();
        }
        connection->deleteLater();
    }
}

QList<quint16> FakeHttpServer::ports() const
{
    QList<quint16> result;
    for (const QTcpServer *server : m_servers)
        result << server->serverPort();
    return result;
}

quint16 FakeHttpServer::port() const
{
    return m_servers.isEmpty() ? 0 : m_servers.first()->serverPort();
}

QString FakeHttpServer::baseUrl(int index) const
{
    const QList<quint16> list = ports();
    if (index < 0 || index >= list.size())
        return {};
    return QStringLiteral("http://%1:%2").arg(m_address.toString()).arg(list.at(index));
}

void FakeHttpServer::setFault(const QString &path, const FaultRule &rule)
{
    m_faults.insert(path, rule);
}

void FakeHttpServer::clearFaults()
{
    m_faults.clear();
}

QList<HttpRequest> FakeHttpServer::requestsTo(const QString &path) const
{
    QList<HttpRequest> result;
    for (const HttpRequest &request : m_requests) {
        if (request.path == path)
            result << request;
    }
    return result;
}

int FakeHttpServer::requestCount(const QString &path) const
{
    return path.isEmpty() ? int(m_requests.size()) : int(requestsTo(path).size());
}

int FakeHttpServer::openConnections() const
{
    int n = 0;
    for (const Connection *connection : m_connections)
        n += connection->socket && connection->socket->state() == QAbstractSocket::ConnectedState ? 1 : 0;
    return n;
}

void FakeHttpServer::onNewConnection(QTcpServer *server)
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        auto *connection = new Connection;
        connection->setParent(this);
        connection->socket = socket;
        connection->localPort = server->serverPort();
        m_connections.append(connection);
        connect(socket, &QTcpSocket::readyRead, this, [this, connection] { onReadyRead(connection); });
        connect(socket, &QTcpSocket::disconnected, this, [this, connection] { drop(connection); });
    }
}

void FakeHttpServer::drop(Connection *connection)
{
    if (!m_connections.removeOne(connection))
        return;
    if (connection->socket) {
        connection->socket->disconnect(this);
        connection->socket->deleteLater();
    }
    connection->deleteLater();
}

void FakeHttpServer::onReadyRead(Connection *connection)
{
    if (!connection->socket)
        return;
    connection->buffer += connection->socket->readAll();
    while (!connection->busy && m_connections.contains(connection) && parseOne(connection)) {
    }
}

// Takes one whole request off the buffer and answers it; false when the
// buffer does not hold a whole request yet (or the connection went).
bool FakeHttpServer::parseOne(Connection *connection)
{
    QByteArray &buffer = connection->buffer;
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        if (buffer.size() > kMaxHeaderBytes) {
            write(connection, HttpAnswer{431, {}, {}}, WriteMode::CloseAfter);
        }
        return false;
    }
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    HttpRequest request;
    request.localPort = connection->localPort;
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() != 3) {
        write(connection, HttpAnswer{400, {}, {}}, WriteMode::CloseAfter);
        return false;
    }
    request.method = requestLine.at(0);
    request.target = requestLine.at(1);
    request.httpVersion = requestLine.at(2);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).endsWith('\r') ? lines.at(i).chopped(1) : lines.at(i);
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        request.headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
    }

    qsizetype consumed = headEnd + 4;
    if (request.header("Transfer-Encoding").toLower().contains("chunked")) {
        qsizetype at = consumed;
        QByteArray body;
        for (;;) {
            const qsizetype lineEnd = buffer.indexOf("\r\n", at);
            if (lineEnd < 0)
                return false;
            bool ok = false;
            const qint64 size = buffer.mid(at, lineEnd - at).split(';').first().trimmed().toLongLong(&ok, 16);
            if (!ok || size < 0) {
                write(connection, HttpAnswer{400, {}, {}}, WriteMode::CloseAfter);
                return false;
            }
            if (body.size() + size > m_maxBodyBytes) {
                write(connection, HttpAnswer{413, {}, {}}, WriteMode::CloseAfter);
                return false;
            }
            if (buffer.size() < lineEnd + 2 + size + 2)
                return false;
            if (size == 0) {
                // Trailers are not used by our clients: the chunked body ends
                // with an empty line.
                const qsizetype end = buffer.indexOf("\r\n", lineEnd + 2);
                if (end < 0)
                    return false;
                consumed = end + 2;
                break;
            }
            body += buffer.mid(lineEnd + 2, size);
            at = lineEnd + 2 + size + 2;
        }
        request.body = body;
    } else if (request.hasHeader("Content-Length")) {
        bool ok = false;
        const qint64 length = request.header("Content-Length").toLongLong(&ok);
        if (!ok || length < 0) {
            write(connection, HttpAnswer{400, {}, {}}, WriteMode::CloseAfter);
            return false;
        }
        if (length > m_maxBodyBytes) {
            write(connection, HttpAnswer{413, {}, {}}, WriteMode::CloseAfter);
            return false;
        }
        if (buffer.size() < consumed + length)
            return false;
        request.body = buffer.mid(consumed, length);
        consumed += length;
    }
    buffer.remove(0, consumed);

    const qsizetype mark = request.target.indexOf('?');
    const QByteArray rawPath = mark < 0 ? request.target : request.target.left(mark);
    request.rawQuery = mark < 0 ? QByteArray() : request.target.mid(mark + 1);
    QString path = QUrl::fromPercentEncoding(rawPath);
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    request.path = path;

    respond(connection, request);
    return true;
}

std::optional<FaultRule> FakeHttpServer::takeFault(const HttpRequest &request)
{
    const QString &path = request.path;
    auto it = m_faults.find(path);
    if (it == m_faults.end())
        it = m_faults.find(QString());
    if (it == m_faults.end() || it->fault == Fault::None || it->times == 0)
        return std::nullopt;
    FaultRule rule = *it;
    if (it->times > 0)
        --it->times;
    return rule;
}

void FakeHttpServer::respond(Connection *connection, const HttpRequest &request)
{
    if (request.body.size() > m_recordedBodyLimit) {
        HttpRequest recorded = request;
        recorded.body.truncate(m_recordedBodyLimit);
        m_requests.append(recorded);
    } else {
        m_requests.append(request);
    }
    emit requestReceived(request);
    if (!m_connections.contains(connection))
        return;

    const std::optional<FaultRule> rule = takeFault(request);
    HttpAnswer answer = handle(request);
    WriteMode mode = request.header("Connection").toLower() == "close" ? WriteMode::CloseAfter : WriteMode::KeepAlive;

    if (rule) {
        switch (rule->fault) {
        case Fault::Silent:
            connection->busy = true;
            return;
        case Fault::Held:
            connection->busy = true;
            m_held.append({connection, answer, mode});
            return;
        case Fault::Close:
            mode = WriteMode::CloseWithoutAnswer;
            break;
        case Fault::TruncatedBody:
            mode = WriteMode::Truncated;
            break;
        case Fault::StalledBody:
            mode = WriteMode::Stalled;
            break;
        case Fault::HttpStatus:
            answer.status = int(rule->value);
            break;
        case Fault::WrongCode: {
            QJsonObject object = QJsonDocument::fromJson(answer.body).object();
            object.insert(QStringLiteral("code"), rule->value);
            answer.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
            break;
        }
        case Fault::WrongJsonType:
            answer.body = rule->body.isEmpty() ? QByteArray("[200]") : rule->body;
            answer.setHeader("Content-Type", "application/json");
            break;
        case Fault::NotJson:
            answer.body = "<html><body>not json</body></html>";
            answer.setHeader("Content-Type", "text/html");
            break;
        case Fault::WrongContentType:
            answer.setHeader("Content-Type", "image/png");
            break;
        case Fault::EmptyBody:
            answer.body.clear();
            break;
        case Fault::Redirect:
            answer.status = 302;
            answer.body.clear();
            answer.headers.clear();
            answer.setHeader("Location", rule->body);
            break;
        case Fault::Slow:
        case Fault::None:
            break;
        }
    }

    const int delay = rule ? (rule->fault == Fault::Slow ? qMax(rule->delayMs, 1) : rule->delayMs) : 0;
    if (delay <= 0) {
        write(connection, answer, mode);
        return;
    }
    connection->busy = true;
    QTimer::singleShot(delay, connection, [this, connection, answer, mode] { writeLater(connection, answer, mode); });
}

void FakeHttpServer::writeLater(Connection *connection, const HttpAnswer &answer, WriteMode mode)
{
    if (!m_connections.contains(connection) || !connection->socket)
        return;
    connection->busy = false;
    write(connection, answer, mode);
    // Requests that came in meanwhile on this connection.
    if (!connection->busy && m_connections.contains(connection))
        onReadyRead(connection);
}

void FakeHttpServer::releaseHeld()
{
    for (const HeldAnswer &held : std::exchange(m_held, {}))
        writeLater(held.connection, held.answer, held.mode);
}

void FakeHttpServer::write(Connection *connection, const HttpAnswer &answer, WriteMode mode)
{
    QTcpSocket *socket = connection->socket;
    if (!socket)
        return;
    if (mode == WriteMode::CloseWithoutAnswer) {
        connection->busy = true;
        socket->disconnectFromHost();
        return;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reasonPhrase(answer.status) + "\r\n";
    for (const auto &header : answer.headers)
        head += header.first + ": " + header.second + "\r\n";
    head += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    const bool closing = mode == WriteMode::CloseAfter || mode == WriteMode::Truncated;
    head += closing ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
    head += "\r\n";

    switch (mode) {
    case WriteMode::Truncated:
    case WriteMode::Stalled:
        socket->write(head + answer.body.left(answer.body.size() / 2));
        connection->busy = true;
        if (mode == WriteMode::Truncated)
            socket->disconnectFromHost();
        return;
    default:
        // Head and body apart: a large body is not copied once more.
        socket->write(head);
        socket->write(answer.body);
        if (closing) {
            connection->busy = true;
            socket->disconnectFromHost();
        }
        return;
    }
}

} // namespace FakeServers
