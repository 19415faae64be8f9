#pragma once

// A small HTTP/1.1 server on QTcpServer for tests: it parses requests (with
// keep-alive, Content-Length and chunked bodies), records them, lets a
// subclass answer them and can spoil answers on purpose. Loopback only.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrlQuery>
#include <limits>
#include <optional>

class QTcpServer;
class QTcpSocket;

namespace FakeServers {

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

struct HttpRequest {
    QByteArray method;
    // The request target exactly as on the request line.
    QByteArray target;
    QByteArray httpVersion;
    // The decoded path without its leading "/".
    QString path;
    // The query exactly as sent (without "?").
    QByteArray rawQuery;
    // Headers in the order and spelling they were sent.
    HeaderList headers;
    QByteArray body;
    quint16 localPort = 0;

    QByteArray header(const QByteArray &name) const;
    bool hasHeader(const QByteArray &name) const;
    // A query argument, percent-decoded ("+" is not a space).
    QString queryValue(const QString &key) const;
    bool hasQueryItem(const QString &key) const;
    QStringList queryKeys() const;
};

struct HttpAnswer {
    int status = 200;
    HeaderList headers;
    QByteArray body;

    static HttpAnswer json(const QJsonObject &object, int status = 200);
    void setHeader(const QByteArray &name, const QByteArray &value);
    void removeHeader(const QByteArray &name);
    QByteArray header(const QByteArray &name) const;
};

// Ways to spoil the answers of a path.
enum class Fault {
    None,
    // The answer comes after `delayMs`.
    Slow,
    // The request is read and never answered; the connection stays open.
    Silent,
    // The request is read (and handled) at once, and its answer waits until
    // the test lets it go (releaseHeld); the connection stays open.
    Held,
    // The connection is closed without an answer.
    Close,
    // Headers announce the whole body, half of it is sent, then the
    // connection is closed.
    TruncatedBody,
    // Headers and half the body are sent, then nothing more; the connection
    // stays open.
    StalledBody,
    // The answer's HTTP status becomes `value`.
    HttpStatus,
    // The JSON answer's "code" becomes `value`.
    WrongCode,
    // The body becomes `body` (JSON of another type than an object; "[200]"
    // when empty), type application/json.
    WrongJsonType,
    // The body becomes an HTML page, type text/html.
    NotJson,
    // The answer's type becomes image/png.
    WrongContentType,
    // The body becomes empty.
    EmptyBody,
    // The answer becomes 302 with "Location: `body`".
    Redirect,
};

struct FaultRule {
    Fault fault = Fault::None;
    int delayMs = 0;
    qint64 value = 0;
    QByteArray body{};
    // How many of the matching requests it spoils; -1 all.
    int times = -1;
};

class FakeHttpServer : public QObject {
    Q_OBJECT
public:
    explicit FakeHttpServer(QObject *parent = nullptr);
    ~FakeHttpServer() override;

    // Listens on one more port of `address` (0 picks a free one). Loopback
    // addresses only.
    bool listen(const QHostAddress &address, quint16 port = 0);
    // Stops listening and drops every connection.
    void close();
    QHostAddress address() const { return m_address; }
    QList<quint16> ports() const;
    quint16 port() const;
    // "http://address:port" of the listening port at `index`.
    QString baseUrl(int index = 0) const;

    // Spoils the answers of `path` (as in HttpRequest::path; empty: every
    // path without a rule of its own).
    void setFault(const QString &path, const FaultRule &rule);
    void clearFaults();

    // The answers held back by a Held fault, and sending them (in the order
    // their requests came) to the connections still open.
    int heldCount() const { return int(m_held.size()); }
    void releaseHeld();

    QList<HttpRequest> requests() const { return m_requests; }
    QList<HttpRequest> requestsTo(const QString &path) const;
    int requestCount(const QString &path = {}) const;
    void clearRequests() { m_requests.clear(); }
    int openConnections() const;

    // Largest request body accepted (413 beyond it).
    void setMaxRequestBodyBytes(qint64 bytes) { m_maxBodyBytes = bytes; }
    // The recorded requests keep at most this many bytes of their bodies (a
    // long upload would otherwise stay in memory twice).
    void setRecordedBodyLimit(qint64 bytes) { m_recordedBodyLimit = qMax<qint64>(0, bytes); }

signals:
    void requestReceived(const FakeServers::HttpRequest &request);

protected:
    virtual HttpAnswer handle(const HttpRequest &request) = 0;
    // The fault for this request: the path's rule (or the catch-all rule).
    // A subclass may pick its own faults by what the request asks for.
    virtual std::optional<FaultRule> takeFault(const HttpRequest &request);

private:
    struct Connection;
    enum class WriteMode { KeepAlive, CloseAfter, CloseWithoutAnswer, Truncated, Stalled };
    void onNewConnection(QTcpServer *server);
    void onReadyRead(Connection *connection);
    bool parseOne(Connection *connection);
    void respond(Connection *connection, const HttpRequest &request);
    void write(Connection *connection, const HttpAnswer &answer, WriteMode mode);
    void drop(Connection *connection);

    struct HeldAnswer {
        Connection *connection = nullptr;
        HttpAnswer answer;
        WriteMode mode = WriteMode::KeepAlive;
    };
    // Writes an answer that waited, then reads what came in meanwhile.
    void writeLater(Connection *connection, const HttpAnswer &answer, WriteMode mode);

    QHostAddress m_address;
    QList<QTcpServer *> m_servers;
    QList<HeldAnswer> m_held;
    QList<Connection *> m_connections;
    QHash<QString, FaultRule> m_faults;
    QList<HttpRequest> m_requests;
    qint64 m_maxBodyBytes = 256ll * 1024 * 1024;
    qint64 m_recordedBodyLimit = std::numeric_limits<qint64>::max();
};

QByteArray reasonPhrase(int status);

} // namespace FakeServers
