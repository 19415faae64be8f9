#include "RtspReceiver.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <sys/socket.h>

struct RtspReceiverState {
    mutable QMutex mutex;
    RtspReceiver::Behaviour behaviour;
    RtspReceiver::ReplyOverride replyOverride;
    QList<QByteArray> optionsBodies;
    QList<RtspReceiver::Request> requests;
    int connections = 0;
    bool clientClosed = false;
    qint64 bytes = 0;
    quint16 port = 0;
};

namespace {

int headerNumber(const QByteArray &head, const char *name)
{
    const QRegularExpression pattern(QStringLiteral("(?:^|\\r\\n)%1:[ \\t]*(\\d+)").arg(QLatin1String(name)),
                                     QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(head));
    if (!match.hasMatch())
        return -1;
    bool ok = false;
    const int value = match.captured(1).toInt(&ok);
    return ok ? value : -1;
}

} // namespace

class RtspReceiverWorker : public QObject {
public:
    explicit RtspReceiverWorker(std::shared_ptr<RtspReceiverState> state) : m_state(std::move(state)) {}

    bool listen(const QHostAddress &address, quint16 port)
    {
        m_server = new QTcpServer(this);
        if (!m_server->listen(address, port))
            return false;
        bool stalled = false;
        {
            QMutexLocker lock(&m_state->mutex);
            m_state->port = m_server->serverPort();
            stalled = !m_state->behaviour.readRequests;
        }
        if (stalled) {
            // Accepted connections inherit a small, fixed receive window, so
            // a client's large write stays queued on its side.
            const int size = 4096;
            ::setsockopt(static_cast<int>(m_server->socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &size,
                         sizeof size);
        }
        QObject::connect(m_server, &QTcpServer::newConnection, this, [this] { onNewConnection(); });
        return true;
    }

    void sendRaw(const QByteArray &bytes)
    {
        if (m_socket)
            m_socket->write(bytes);
    }

    void closeClient()
    {
        if (m_socket)
            m_socket->close();
    }

private:
    void onNewConnection()
    {
        while (QTcpSocket *socket = m_server->nextPendingConnection()) {
            if (m_socket)
                m_socket->abort();
            m_socket = socket;
            m_buffer.clear();
            m_held.clear();
            m_trickle.clear();
            m_setups = 0;
            bool read = true;
            {
                QMutexLocker lock(&m_state->mutex);
                ++m_state->connections;
                m_connection = m_state->connections;
                m_state->clientClosed = false;
                read = m_state->behaviour.readRequests;
            }
            QObject::connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                if (socket == m_socket) {
                    QMutexLocker lock(&m_state->mutex);
                    m_state->clientClosed = true;
                }
            });
            if (!read) {
                socket->setReadBufferSize(1);
                continue;
            }
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                if (socket == m_socket)
                    onReadyRead();
            });
        }
    }

    void onReadyRead()
    {
        const QByteArray bytes = m_socket->readAll();
        {
            QMutexLocker lock(&m_state->mutex);
            m_state->bytes += bytes.size();
        }
        m_buffer += bytes;
        for (;;) {
            const qsizetype end = m_buffer.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QByteArray head = m_buffer.left(end + 4);
            const int length = std::max(0, headerNumber(head, "Content-Length"));
            if (m_buffer.size() < head.size() + length)
                return;
            RtspReceiver::Request request;
            request.head = head;
            request.body = m_buffer.mid(head.size(), length);
            request.raw = m_buffer.left(head.size() + length);
            m_buffer.remove(0, head.size() + length);
            const QList<QByteArray> first = head.left(head.indexOf("\r\n")).split(' ');
            request.method = first.value(0);
            request.url = first.value(1);
            request.cseq = headerNumber(head, "CSeq");
            request.connection = m_connection;
            handle(request);
        }
    }

    void handle(const RtspReceiver::Request &request)
    {
        RtspReceiver::Behaviour behaviour;
        RtspReceiver::ReplyOverride replyOverride;
        QByteArray optionsBody;
        {
            QMutexLocker lock(&m_state->mutex);
            m_state->requests.append(request);
            behaviour = m_state->behaviour;
            replyOverride = m_state->replyOverride;
            if (request.method == "OPTIONS" && behaviour.answerOptions && !m_state->optionsBodies.isEmpty())
                optionsBody = m_state->optionsBodies.takeFirst();
        }
        if (replyOverride) {
            if (std::optional<QByteArray> bytes = replyOverride(request)) {
                deliver(*bytes, false, behaviour.delivery);
                return;
            }
        }
        if (request.method == "SETUP") {
            ++m_setups;
            if (m_setups == 1 && behaviour.answerVideoSetup)
                deliver(RtspReceiver::okReply(request.cseq), false, behaviour.delivery);
            else if (m_setups == 2 && behaviour.answerAudioSetup)
                deliver(RtspReceiver::okReply(request.cseq, behaviour.audioSetupReplyBody), false,
                        behaviour.delivery);
        } else if (request.method == "OPTIONS") {
            if (behaviour.answerOptions)
                deliver(RtspReceiver::okReply(request.cseq, optionsBody), true, behaviour.delivery);
        } else if (request.method == "TEARDOWN") {
            if (behaviour.answerTeardown)
                deliver(RtspReceiver::okReply(request.cseq), false, behaviour.delivery);
        } else {
            deliver(RtspReceiver::okReply(request.cseq), false, behaviour.delivery);
        }
    }

    void deliver(const QByteArray &reply, bool isOptions, RtspReceiver::Delivery delivery)
    {
        if (!m_socket)
            return;
        switch (delivery) {
        case RtspReceiver::Delivery::Whole:
            m_socket->write(reply);
            break;
        case RtspReceiver::Delivery::HoldForNext:
            if (isOptions && m_held.isEmpty()) {
                m_held = reply;
            } else {
                m_socket->write(m_held + reply);
                m_held.clear();
            }
            break;
        case RtspReceiver::Delivery::ByteByByte:
            m_trickle += reply;
            if (!m_trickleTimer) {
                m_trickleTimer = new QTimer(this);
                m_trickleTimer->setInterval(1);
                QObject::connect(m_trickleTimer, &QTimer::timeout, this, [this] {
                    if (!m_socket || m_trickle.isEmpty()) {
                        m_trickleTimer->stop();
                        return;
                    }
                    m_socket->write(m_trickle.left(1));
                    m_socket->flush();
                    m_trickle.remove(0, 1);
                });
            }
            m_trickleTimer->start();
            break;
        }
    }

    std::shared_ptr<RtspReceiverState> m_state;
    QTcpServer *m_server = nullptr;
    QPointer<QTcpSocket> m_socket;
    QByteArray m_buffer;
    QByteArray m_held;
    QByteArray m_trickle;
    QTimer *m_trickleTimer = nullptr;
    int m_setups = 0;
    int m_connection = 0;
};

RtspReceiver::RtspReceiver() : RtspReceiver(Behaviour{}) {}

RtspReceiver::RtspReceiver(Behaviour behaviour) : m_state(std::make_shared<RtspReceiverState>())
{
    m_state->behaviour = std::move(behaviour);
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("RtspReceiver"));
    m_worker = new RtspReceiverWorker(m_state);
    m_worker->moveToThread(m_thread);
    m_thread->start();
}

RtspReceiver::~RtspReceiver()
{
    m_worker->deleteLater();
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

bool RtspReceiver::listen(const QHostAddress &address, quint16 port)
{
    bool ok = false;
    QMetaObject::invokeMethod(
        m_worker, [&] { ok = m_worker->listen(address, port); }, Qt::BlockingQueuedConnection);
    return ok;
}

quint16 RtspReceiver::port() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->port;
}

RtspReceiver::Behaviour RtspReceiver::behaviour() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->behaviour;
}

void RtspReceiver::setBehaviour(const Behaviour &behaviour)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->behaviour = behaviour;
}

void RtspReceiver::setReplyOverride(ReplyOverride replyOverride)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->replyOverride = std::move(replyOverride);
}

void RtspReceiver::queueOptionsBody(const QByteArray &body)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->optionsBodies.append(body);
}

void RtspReceiver::sendRaw(const QByteArray &bytes)
{
    QMetaObject::invokeMethod(m_worker, [this, bytes] { m_worker->sendRaw(bytes); }, Qt::BlockingQueuedConnection);
}

void RtspReceiver::closeClient()
{
    QMetaObject::invokeMethod(m_worker, [this] { m_worker->closeClient(); }, Qt::BlockingQueuedConnection);
}

QList<RtspReceiver::Request> RtspReceiver::requests() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->requests;
}

QList<QByteArray> RtspReceiver::methods() const
{
    QMutexLocker lock(&m_state->mutex);
    QList<QByteArray> methods;
    for (const Request &request : m_state->requests)
        methods.append(request.method);
    return methods;
}

int RtspReceiver::connectionCount() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->connections;
}

bool RtspReceiver::clientClosed() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->clientClosed;
}

qint64 RtspReceiver::bytesReceived() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->bytes;
}

QByteArray RtspReceiver::okReply(int cseq, const QByteArray &body)
{
    QByteArray reply = "RTSP/1.0 200 OK\r\nCSeq: " + QByteArray::number(cseq) + "\r\n";
    if (!body.isEmpty())
        reply += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    return reply + "\r\n" + body;
}

QByteArray RtspReceiver::encoderRequest(int width, int height, int fps)
{
    const QJsonObject object{{QStringLiteral("casting_win_width"), width},
                             {QStringLiteral("casting_win_height"), height},
                             {QStringLiteral("Framerate"), fps},
                             {QStringLiteral("feature"), 1}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
