#include "MasterControlServer.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QMetaObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <utility>

#include "ReceiverComponentRegistry.h"
#include "ReceiverTcp.h"

namespace {

QByteArray compactLine(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

MasterControlServer::MasterControlServer(ReceiverEmulator &emulator, quint16 port)
    : ReceiverComponent(emulator), m_port(port)
{
}

MasterControlServer::~MasterControlServer()
{
    stop();
}

bool MasterControlServer::start(QString *error)
{
    if (m_server)
        return true;
    // A restart listens where the first start did.
    const quint16 port = m_boundPort.load() != 0 ? m_boundPort.load() : m_port;
    m_server = ReceiverTcp::listen(this, emulator().address(), port, error);
    if (!m_server)
        return false;
    m_boundPort.store(m_server->serverPort());
    connect(m_server, &QTcpServer::newConnection, this, &MasterControlServer::accept);
    return true;
}

void MasterControlServer::stop()
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
}

bool MasterControlServer::restart()
{
    bool started = false;
    QMetaObject::invokeMethod(
        this,
        [&] {
            stop();
            started = start(nullptr);
        },
        thread() == QThread::currentThread() ? Qt::DirectConnection : Qt::BlockingQueuedConnection);
    return started;
}

bool MasterControlServer::isListening() const
{
    return m_server != nullptr;
}

void MasterControlServer::setBehaviour(const MasterControlBehaviour &behaviour)
{
    QMutexLocker lock(&m_mutex);
    m_behaviour = behaviour;
}

MasterControlBehaviour MasterControlServer::behaviour() const
{
    QMutexLocker lock(&m_mutex);
    return m_behaviour;
}

int MasterControlServer::connectionCount() const
{
    QMutexLocker lock(&m_mutex);
    return static_cast<int>(m_connections.size());
}

QByteArray MasterControlServer::received(int connection) const
{
    QMutexLocker lock(&m_mutex);
    return connection >= 0 && connection < m_connections.size() ? m_connections[connection].received : QByteArray();
}

QList<QJsonObject> MasterControlServer::messages(int connection) const
{
    QMutexLocker lock(&m_mutex);
    return connection >= 0 && connection < m_connections.size() ? m_connections[connection].messages
                                                                : QList<QJsonObject>();
}

QList<QJsonObject> MasterControlServer::allMessages() const
{
    QMutexLocker lock(&m_mutex);
    QList<QJsonObject> all;
    for (const Connection &connection : m_connections)
        all.append(connection.messages);
    return all;
}

int MasterControlServer::count(const QString &key, int connection) const
{
    const QList<QJsonObject> list = connection < 0 ? allMessages() : messages(connection);
    int n = 0;
    for (const QJsonObject &object : list) {
        if (object.contains(key))
            ++n;
    }
    return n;
}

QList<qint64> MasterControlServer::heartbeats(int connection) const
{
    QList<qint64> numbers;
    for (const QJsonObject &object : messages(connection)) {
        if (object.contains(QStringLiteral("heartbeat")))
            numbers.append(object.value(QStringLiteral("heartbeat")).toInteger(-1));
    }
    return numbers;
}

bool MasterControlServer::connectionOpen(int connection) const
{
    QMutexLocker lock(&m_mutex);
    return connection >= 0 && connection < m_connections.size() && m_connections[connection].open;
}

int MasterControlServer::openConnections() const
{
    QMutexLocker lock(&m_mutex);
    int n = 0;
    for (const Connection &connection : m_connections)
        n += connection.open ? 1 : 0;
    return n;
}

int MasterControlServer::newestOpen() const
{
    for (qsizetype i = m_connections.size() - 1; i >= 0; --i) {
        if (m_connections[i].open && m_connections[i].socket)
            return static_cast<int>(i);
    }
    return -1;
}

void MasterControlServer::sendRaw(const QByteArray &bytes)
{
    QMetaObject::invokeMethod(this, [this, bytes] {
        int index;
        {
            QMutexLocker lock(&m_mutex);
            index = newestOpen();
            if (index < 0)
                return;
            m_connections[index].outbound.append(bytes);
        }
        pump(index);
    });
}

void MasterControlServer::sendLine(const QJsonObject &object)
{
    sendRaw(compactLine(object));
}

void MasterControlServer::sendReportInfo(const QString &deviceName, qint64 rotation)
{
    sendLine({{QStringLiteral("reportInfo"), QStringLiteral("N")},
              {QStringLiteral("deviceName"), deviceName},
              {QStringLiteral("rotation"), rotation}});
}

QByteArray MasterControlServer::heartbeatReply(const MasterControlBehaviour &behaviour)
{
    return compactLine({{QStringLiteral("replyHeartbeat"), QStringLiteral("N")},
                        {QStringLiteral("castMode"), behaviour.castMode},
                        {QStringLiteral("multiScreen"), behaviour.multiScreen},
                        {QStringLiteral("mirrorMode"), behaviour.mirrorMode},
                        {QStringLiteral("castState"), behaviour.castState}});
}

// Socket calls stay outside the lock: a write or close to a peer that has
// gone reports the loss at once, and the slot that hears it takes the lock.
void MasterControlServer::accept()
{
    while (QTcpSocket *socket = m_server ? m_server->nextPendingConnection() : nullptr) {
        int index;
        bool closeAtOnce;
        {
            QMutexLocker lock(&m_mutex);
            index = static_cast<int>(m_connections.size());
            closeAtOnce = m_behaviour.closeOnAccept;
            Connection connection;
            connection.socket = closeAtOnce ? nullptr : socket;
            connection.open = !closeAtOnce;
            m_connections.append(connection);
        }
        if (closeAtOnce) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QTcpSocket::readyRead, this, [this, index] { readFrom(index); });
        connect(socket, &QTcpSocket::disconnected, this, [this, index] {
            QMutexLocker lock(&m_mutex);
            if (index < m_connections.size())
                m_connections[index].open = false;
        });
    }
}

void MasterControlServer::readFrom(int index)
{
    QTcpSocket *socket;
    {
        QMutexLocker lock(&m_mutex);
        socket = m_connections[index].socket;
    }
    if (!socket)
        return;
    const QByteArray bytes = socket->readAll();
    QList<QJsonObject> arrived;
    {
        QMutexLocker lock(&m_mutex);
        Connection &connection = m_connections[index];
        connection.received.append(bytes);
        connection.inbound.append(bytes);
        qsizetype newline;
        while ((newline = connection.inbound.indexOf('\n')) >= 0) {
            const QByteArray line = connection.inbound.left(newline).trimmed();
            connection.inbound.remove(0, newline + 1);
            if (line.isEmpty())
                continue;
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            connection.messages.append(object);
            arrived.append(object);
        }
    }
    for (const QJsonObject &object : std::as_const(arrived))
        answer(index, object);
}

void MasterControlServer::answer(int index, const QJsonObject &message)
{
    QByteArray reply;
    int delayMs = 0;
    {
        QMutexLocker lock(&m_mutex);
        MasterControlBehaviour &b = m_behaviour;
        if (message.contains(QStringLiteral("heartbeat"))) {
            if (b.answerHeartbeats)
                reply = heartbeatReply(b);
        } else if (message.contains(QStringLiteral("reportClientInfo"))) {
            if (b.answerClientInfo) {
                reply = compactLine({{QStringLiteral("replyClientInfo"), QStringLiteral("N")},
                                     {QStringLiteral("deviceName"), emulator().profile().name},
                                     {QStringLiteral("rotation"), b.rotation},
                                     {QStringLiteral("supportMirror"), 1},
                                     {QStringLiteral("platform"), b.platform},
                                     {QStringLiteral("flavor"), QStringLiteral("emulated")}});
            }
        } else if (message.contains(QStringLiteral("requestCast"))) {
            const qint64 request = message.value(QStringLiteral("requestCast")).toInteger();
            if (request == 7 && b.castReply >= 0) {
                reply = compactLine({{QStringLiteral("replyCastRequest"), b.castReply}});
                delayMs = b.castReplyDelayMs;
            } else if (request == 8 && b.followFullScreenRequests) {
                b.castState = 2;
            }
        } else if (message.contains(QStringLiteral("exitFullscreen"))) {
            if (b.followFullScreenRequests)
                b.castState = 1;
            reply = compactLine({{QStringLiteral("replyExitFullscreen"), QStringLiteral("N")}});
        }
    }
    if (reply.isEmpty())
        return;
    if (delayMs <= 0) {
        writeLine(index, reply);
        return;
    }
    QTimer::singleShot(delayMs, this, [this, index, reply] {
        if (connectionOpen(index))
            writeLine(index, reply);
    });
}

void MasterControlServer::writeLine(int index, const QByteArray &line)
{
    {
        QMutexLocker lock(&m_mutex);
        Connection &connection = m_connections[index];
        if (!connection.replied) {
            connection.replied = true;
            for (const QByteArray &chunk : std::as_const(m_behaviour.hostileChunks))
                connection.outbound.append(chunk);
        }
        if (m_behaviour.chunkSize <= 0) {
            connection.outbound.append(line);
        } else {
            for (qsizetype pos = 0; pos < line.size(); pos += m_behaviour.chunkSize)
                connection.outbound.append(line.mid(pos, m_behaviour.chunkSize));
        }
    }
    pump(index);
}

// Writes the waiting chunks, one at a time and a little apart when the
// replies are cut, so that each arrives in a read of its own.
void MasterControlServer::pump(int index)
{
    QTcpSocket *socket;
    QList<QByteArray> now;
    bool more;
    int gapMs;
    {
        QMutexLocker lock(&m_mutex);
        Connection &connection = m_connections[index];
        if (connection.pumping || !connection.socket || connection.outbound.isEmpty())
            return;
        socket = connection.socket;
        const bool spaced = m_behaviour.chunkSize > 0 || !m_behaviour.hostileChunks.isEmpty();
        if (spaced)
            now.append(connection.outbound.takeFirst());
        else
            now.swap(connection.outbound);
        more = !connection.outbound.isEmpty();
        connection.pumping = more;
        gapMs = m_behaviour.chunkGapMs;
    }
    for (const QByteArray &bytes : std::as_const(now))
        socket->write(bytes);
    socket->flush();
    if (!more)
        return;
    QTimer::singleShot(gapMs, this, [this, index] {
        {
            QMutexLocker lock(&m_mutex);
            if (index >= m_connections.size())
                return;
            m_connections[index].pumping = false;
        }
        pump(index);
    });
}

namespace {

const ReceiverComponentRegistration masterRegistration({
    QStringLiteral("master"),
    QStringLiteral("holds the master-control session (heartbeats, cast requests, full screen)"),
    [](QCommandLineParser &parser) {
        parser.addOption({QStringLiteral("master-port"), QStringLiteral("TCP port of master control (default 57395)."),
                          QStringLiteral("port"), QStringLiteral("57395")});
        parser.addOption({QStringLiteral("cast-mode"),
                          QStringLiteral("Cast mode it reports: 1 cast at once, 2 ask first, 0 none (default 1)."),
                          QStringLiteral("mode"), QStringLiteral("1")});
        parser.addOption({QStringLiteral("multi-screen"), QStringLiteral("Multi-screen value it reports (default 0)."),
                          QStringLiteral("value"), QStringLiteral("0")});
        parser.addOption({QStringLiteral("cast-reply"),
                          QStringLiteral("Answer to cast requests: 1 accept, 0 refuse, -1 never (default 1)."),
                          QStringLiteral("value"), QStringLiteral("1")});
        parser.addOption({QStringLiteral("master-silent"), QStringLiteral("Accept master control, answer nothing.")});
    },
    [](ReceiverEmulator &emulator, const QCommandLineParser &parser) -> ReceiverComponent * {
        auto *server = emulator.addComponent<MasterControlServer>(
            quint16(parser.value(QStringLiteral("master-port")).toUInt()));
        MasterControlBehaviour behaviour;
        behaviour.castMode = parser.value(QStringLiteral("cast-mode")).toLongLong();
        behaviour.multiScreen = parser.value(QStringLiteral("multi-screen")).toLongLong();
        behaviour.castReply = parser.value(QStringLiteral("cast-reply")).toLongLong();
        behaviour.answerHeartbeats = !parser.isSet(QStringLiteral("master-silent"));
        server->setBehaviour(behaviour);
        return server;
    },
});

} // namespace

// ---------------------------------------------------------------------------

DirectCastServer::DirectCastServer(ReceiverEmulator &emulator, quint16 port)
    : ReceiverComponent(emulator), m_port(port)
{
}

DirectCastServer::~DirectCastServer()
{
    stop();
}

bool DirectCastServer::start(QString *error)
{
    if (m_server)
        return true;
    m_server = ReceiverTcp::listen(this, emulator().address(), m_port, error);
    if (!m_server)
        return false;
    m_boundPort.store(m_server->serverPort());
    connect(m_server, &QTcpServer::newConnection, this, &DirectCastServer::accept);
    return true;
}

void DirectCastServer::stop()
{
    delete m_server;
    m_server = nullptr;
    QList<QTcpSocket *> sockets;
    {
        QMutexLocker lock(&m_mutex);
        sockets = m_inbound.keys();
        m_inbound.clear();
    }
    for (QTcpSocket *socket : std::as_const(sockets))
        ReceiverTcp::drop(socket, this);
}

void DirectCastServer::setAnswering(bool answer)
{
    QMutexLocker lock(&m_mutex);
    m_answer = answer;
}

void DirectCastServer::setCommand(qint64 command)
{
    QMutexLocker lock(&m_mutex);
    m_command = command;
}

int DirectCastServer::connectionCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_connections;
}

QStringList DirectCastServer::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

void DirectCastServer::accept()
{
    while (QTcpSocket *socket = m_server ? m_server->nextPendingConnection() : nullptr) {
        {
            QMutexLocker lock(&m_mutex);
            ++m_connections;
            m_inbound.insert(socket, {});
        }
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            {
                QMutexLocker lock(&m_mutex);
                m_inbound.remove(socket);
            }
            socket->deleteLater();
        });
    }
}

// As in the master-control server, the socket is written with the lock free.
void DirectCastServer::readFrom(QTcpSocket *socket)
{
    const QByteArray bytes = socket->readAll();
    QByteArray replies;
    {
        QMutexLocker lock(&m_mutex);
        auto it = m_inbound.find(socket);
        if (it == m_inbound.end())
            return;
        QByteArray &inbound = *it;
        inbound.append(bytes);
        qsizetype end;
        while ((end = inbound.indexOf("\r\n\r\n")) >= 0) {
            const QByteArray request = inbound.left(end);
            inbound.remove(0, end + 4);
            m_requests.append(QString::fromUtf8(request));
            if (!m_answer)
                continue;
            QByteArray cseq;
            for (const QByteArray &line : request.split('\n')) {
                if (line.startsWith("CSeq:"))
                    cseq = line.mid(5).trimmed();
            }
            replies += "RTSP/1.0 200 OK\r\nCSeq: " + cseq + "\r\n";
            if (m_command != 0) {
                const QByteArray body = "{\"command\":" + QByteArray::number(m_command) + "}";
                replies += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
            } else {
                replies += "\r\n";
            }
        }
    }
    if (!replies.isEmpty())
        socket->write(replies);
}

namespace {

const ReceiverComponentRegistration directCastRegistration({
    QStringLiteral("directcast"),
    QStringLiteral("answers the direct-cast keep-alive"),
    [](QCommandLineParser &parser) {
        parser.addOption({QStringLiteral("direct-cast-port"),
                          QStringLiteral("TCP port of the direct-cast keep-alive (default 51060)."),
                          QStringLiteral("port"), QStringLiteral("51060")});
    },
    [](ReceiverEmulator &emulator, const QCommandLineParser &parser) -> ReceiverComponent * {
        return emulator.addComponent<DirectCastServer>(
            quint16(parser.value(QStringLiteral("direct-cast-port")).toUInt()));
    },
});

} // namespace
