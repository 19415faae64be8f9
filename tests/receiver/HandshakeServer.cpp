#include "HandshakeServer.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <utility>

#include "ReceiverComponentRegistry.h"
#include "ReceiverTcp.h"

namespace {

const char *const kPortKeys[] = {"51040", "51030", "51060", "52020", "52030", "57395"};

} // namespace

HandshakeServer::HandshakeServer(ReceiverEmulator &emulator, quint16 port)
    : ReceiverComponent(emulator), m_port(port)
{
}

HandshakeServer::~HandshakeServer()
{
    stop();
}

bool HandshakeServer::start(QString *error)
{
    if (m_server)
        return true;
    m_server = ReceiverTcp::listen(this, emulator().address(), m_port, error);
    if (!m_server)
        return false;
    m_boundPort.store(m_server->serverPort());
    connect(m_server, &QTcpServer::newConnection, this, &HandshakeServer::accept);
    return true;
}

void HandshakeServer::stop()
{
    if (!m_server)
        return;
    QList<QTcpSocket *> sockets;
    {
        QMutexLocker lock(&m_mutex);
        for (Connection &connection : m_connections) {
            if (connection.socket)
                sockets.append(std::exchange(connection.socket, nullptr));
            connection.open = false;
        }
    }
    for (QTcpSocket *socket : std::as_const(sockets))
        ReceiverTcp::drop(socket, this);
    delete m_server;
    m_server = nullptr;
    m_boundPort.store(0);
}

void HandshakeServer::setBehaviour(const HandshakeBehaviour &behaviour)
{
    QMutexLocker lock(&m_mutex);
    m_behaviour = behaviour;
}

HandshakeBehaviour HandshakeServer::behaviour() const
{
    QMutexLocker lock(&m_mutex);
    return m_behaviour;
}

int HandshakeServer::connectionCount() const
{
    QMutexLocker lock(&m_mutex);
    return static_cast<int>(m_connections.size());
}

QByteArray HandshakeServer::received(int connection) const
{
    QMutexLocker lock(&m_mutex);
    return connection < m_connections.size() ? m_connections[connection].received : QByteArray();
}

QStringList HandshakeServer::requests(int connection) const
{
    QMutexLocker lock(&m_mutex);
    return connection < m_connections.size() ? m_connections[connection].requests : QStringList();
}

QStringList HandshakeServer::allRequests() const
{
    QMutexLocker lock(&m_mutex);
    QStringList all;
    for (const Connection &connection : m_connections)
        all += connection.requests;
    return all;
}

bool HandshakeServer::connectionOpen(int connection) const
{
    QMutexLocker lock(&m_mutex);
    return connection < m_connections.size() && m_connections[connection].open;
}

QByteArray HandshakeServer::serverInfoLine(const ReceiverProfile &profile, const QString &extraInfo)
{
    QJsonObject object;
    object.insert(QStringLiteral("name"), profile.name);
    object.insert(QStringLiteral("feature"), QString::number(quint32(profile.features), 16));
    if (!extraInfo.isNull())
        object.insert(QStringLiteral("extraInfo"), extraInfo);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray HandshakeServer::portsLine(bool changed, const QMap<QString, qint64> &ports)
{
    QJsonObject table;
    for (const char *key : kPortKeys) {
        const QString name = QString::fromLatin1(key);
        if (ports.contains(name))
            table.insert(name, ports.value(name));
    }
    QJsonObject object;
    object.insert(QStringLiteral("hasChanged"), changed);
    object.insert(QStringLiteral("ports"), table);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

void HandshakeServer::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        int index;
        {
            QMutexLocker lock(&m_mutex);
            index = static_cast<int>(m_connections.size());
            Connection connection;
            connection.socket = socket;
            m_connections.append(connection);
        }
        connect(socket, &QTcpSocket::readyRead, this, [this, index] { readFrom(index); });
        connect(socket, &QTcpSocket::disconnected, this, [this, index] {
            QMutexLocker lock(&m_mutex);
            m_connections[index].open = false;
        });
    }
}

void HandshakeServer::readFrom(int index)
{
    QStringList complete;
    {
        QMutexLocker lock(&m_mutex);
        Connection &connection = m_connections[index];
        if (!connection.socket)
            return;
        const QByteArray bytes = connection.socket->readAll();
        connection.received += bytes;
        connection.inbound += bytes;
        qsizetype end;
        while ((end = connection.inbound.indexOf("\r\n\r\n")) >= 0) {
            const QString request = QString::fromUtf8(connection.inbound.left(end));
            connection.inbound.remove(0, end + 4);
            connection.requests.append(request);
            complete.append(request);
        }
    }
    for (const QString &request : complete)
        answer(index, request);
}

void HandshakeServer::answer(int index, const QString &request)
{
    const HandshakeBehaviour behaviour = this->behaviour();
    const QStringList lines = request.split(QStringLiteral("\r\n"));
    const QString command = lines.value(0);
    QTcpSocket *socket;
    {
        QMutexLocker lock(&m_mutex);
        socket = m_connections[index].socket;
    }
    if (!socket)
        return;

    if (!behaviour.resetOnRequest.isEmpty() && command == behaviour.resetOnRequest) {
        ReceiverTcp::reset(socket);
        QMutexLocker lock(&m_mutex);
        m_connections[index].open = false;
        return;
    }
    if (!behaviour.closeOnRequest.isEmpty() && command == behaviour.closeOnRequest) {
        socket->disconnectFromHost();
        return;
    }
    if (behaviour.silent)
        return;

    if (command == QLatin1String("GETPASSWORDCONFIG")) {
        if (!behaviour.castingCode.isEmpty())
            queueReply(index, "configed password\n");
        else if (!behaviour.noCodeReply.isEmpty())
            queueReply(index, behaviour.noCodeReply);
    } else if (command == QLatin1String("getServerInfo")) {
        if (behaviour.serverInfoDelayMs < 0)
            return;
        const QByteArray line = behaviour.serverInfoOverride.isEmpty()
            ? serverInfoLine(emulator().profile(), behaviour.extraInfo)
            : behaviour.serverInfoOverride;
        queueReplyAfter(behaviour.serverInfoDelayMs, index, line);
    } else if (command == QLatin1String("getListenedPort")) {
        queueReplyAfter(behaviour.portsDelayMs, index,
                        behaviour.portsOverride.isEmpty() ? portsLine(behaviour.portsChanged, behaviour.ports)
                                                          : behaviour.portsOverride);
    } else if (command == QLatin1String("CHECKPASSWORD")) {
        if (behaviour.silentOnCheck)
            return;
        if (!behaviour.checkReplyOverride.isEmpty()) {
            queueReply(index, behaviour.checkReplyOverride);
            return;
        }
        const bool right = !behaviour.castingCode.isEmpty() && lines.value(1) == behaviour.castingCode;
        const QByteArray verdict = right ? QByteArray("success\n") : behaviour.refusalWord + '\n';
        if (behaviour.verdictCutAt >= 0) {
            // The rest follows in turn, after whatever is queued before it.
            QMutexLocker lock(&m_mutex);
            Connection &connection = m_connections[index];
            connection.cuts.append(connection.streamOffset + connection.outbound.size() + behaviour.verdictCutAt);
        }
        queueReply(index, verdict);
    }
}

void HandshakeServer::queueReplyAfter(int delayMs, int index, const QByteArray &bytes)
{
    if (delayMs <= 0)
        queueReply(index, bytes);
    else
        QTimer::singleShot(delayMs, this, [this, index, bytes] { queueReply(index, bytes); });
}

void HandshakeServer::queueReply(int index, const QByteArray &bytes)
{
    int gatherMs;
    {
        QMutexLocker lock(&m_mutex);
        Connection &connection = m_connections[index];
        if (!connection.socket)
            return;
        connection.outbound += bytes;
        if (connection.pumping)
            return;
        connection.pumping = true;
        gatherMs = m_behaviour.gatherMs;
    }
    if (gatherMs > 0)
        QTimer::singleShot(gatherMs, this, [this, index] { pump(index); });
    else
        pump(index);
}

// The socket is written with the lock free: a write to a peer that has gone
// reports the loss at once, and the slot that hears it takes the lock.
void HandshakeServer::pump(int index)
{
    QTcpSocket *socket;
    QByteArray piece;
    int gapMs = 0;
    bool more;
    {
        QMutexLocker lock(&m_mutex);
        Connection &connection = m_connections[index];
        if (!connection.socket || connection.outbound.isEmpty()) {
            connection.pumping = false;
            return;
        }
        socket = connection.socket;
        // Write up to the next cut; the rest follows a little later.
        qsizetype length = connection.outbound.size();
        for (qsizetype cut : m_behaviour.cutAt + connection.cuts) {
            if (cut > connection.streamOffset && cut < connection.streamOffset + length)
                length = cut - connection.streamOffset;
        }
        piece = connection.outbound.left(length);
        connection.outbound.remove(0, length);
        connection.streamOffset += length;
        more = !connection.outbound.isEmpty();
        connection.pumping = more;
        gapMs = m_behaviour.pieceGapMs;
    }
    socket->write(piece);
    socket->flush();
    if (more)
        QTimer::singleShot(gapMs, this, [this, index] { pump(index); });
}

// --- Casting codes of an address ---

namespace HandshakeCodes {

QString eightLetterCodeFor(const QHostAddress &address)
{
    // v = (26^8 - 1 - b) mod 2^32: the smallest of the values (v + k * 2^32)
    // that name the address.
    const quint64 b = address.toIPv4Address();
    quint64 v = (208827064575ULL - b) % 4294967296ULL;
    QString code(8, QLatin1Char('A'));
    for (int i = 7; i >= 0; --i) {
        code[i] = QLatin1Char(char('A' + v % 26));
        v /= 26;
    }
    return code;
}

QString sixDigitCodeFor(const QHostAddress &address)
{
    const quint32 low = address.toIPv4Address() & 0xFFFF;
    return QStringLiteral("%1").arg(999999 - qint64(low), 6, 10, QLatin1Char('0'));
}

} // namespace HandshakeCodes

namespace {

const ReceiverComponentRegistration registration({
    QStringLiteral("handshake"),
    QStringLiteral("answers the text handshake (casting code, name, dynamic ports)"),
    [](QCommandLineParser &parser) {
        parser.addOption({QStringLiteral("handshake-port"), QStringLiteral("TCP port of the handshake (default 8121)."),
                          QStringLiteral("port"), QStringLiteral("8121")});
        parser.addOption({QStringLiteral("casting-code"), QStringLiteral("The casting code it wants (default: none)."),
                          QStringLiteral("code")});
        parser.addOption({QStringLiteral("extra-info"), QStringLiteral("Its \"extraInfo\" text."),
                          QStringLiteral("text")});
        parser.addOption({QStringLiteral("name-delay"),
                          QStringLiteral("Milliseconds before the name reply; negative: never."),
                          QStringLiteral("ms"), QStringLiteral("0")});
        parser.addOption({QStringLiteral("dynamic-ports"),
                          QStringLiteral("Its ports, six numbers for 51040,51030,51060,52020,52030,57395."),
                          QStringLiteral("list")});
    },
    [](ReceiverEmulator &emulator, const QCommandLineParser &parser) -> ReceiverComponent * {
        auto *server = emulator.addComponent<HandshakeServer>(
            quint16(parser.value(QStringLiteral("handshake-port")).toUInt()));
        HandshakeBehaviour behaviour;
        behaviour.castingCode = parser.value(QStringLiteral("casting-code"));
        if (parser.isSet(QStringLiteral("extra-info")))
            behaviour.extraInfo = parser.value(QStringLiteral("extra-info"));
        behaviour.serverInfoDelayMs = parser.value(QStringLiteral("name-delay")).toInt();
        const QStringList ports = parser.value(QStringLiteral("dynamic-ports")).split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (qsizetype i = 0; i < ports.size() && i < 6; ++i)
            behaviour.ports.insert(QString::fromLatin1(kPortKeys[i]), ports[i].toLongLong());
        server->setBehaviour(behaviour);
        return server;
    },
});

} // namespace
