// The shared sockets of a session, their factories and the text commands of
// the handshake protocol.

#include <QDebug>
#include <QPointer>

#include "Socket/AsyncSocket.h"
#include "Socket/GCDAsyncSocket.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"
#include "Utils/settings/settings.h"

namespace {

const QString kClientNameKey = QStringLiteral("TavlinMacClientName");
// "auth" names this port; nothing ever assigns it.
constexpr qint64 kClientHttpPort = 0;

struct SharedSockets {
    QPointer<AsyncSocket> handshake;
    QPointer<AsyncSocket> hostPreview;
    QPointer<GCDAsyncSocket> masterControl;
    QPointer<GCDAsyncSocket> directCast;
    QPointer<GCDAsyncSocket> disConnectCast;
    QString lastHost;
    quint16 lastPort = 0;
    std::function<QString()> clientNameSource;
};

SharedSockets &sockets()
{
    static SharedSockets shared;
    return shared;
}

// The replaced socket may be the one whose callback is running: it is closed
// and detached now and deleted from the event loop. With `sendQueuedFirst`
// what is queued on it is handed to the system before it closes.
template <class Socket>
void retire(QPointer<Socket> &slot, bool sendQueuedFirst = false)
{
    if (Socket *old = slot.data()) {
        old->setDelegate(nullptr);
        if (sendQueuedFirst)
            old->disconnectAfterWritingNow();
        else
            old->disconnect();
        old->deleteLater();
    }
    slot.clear();
}

// The replaced handshake socket: a connected one first sends what is queued
// on it (a goodbye to the receiver it spoke to), then closes and goes; one
// that is still connecting is dropped at once, so that it never reaches the
// receiver the user left. It tells its old delegate nothing more.
void retireHandshake(QPointer<AsyncSocket> &slot)
{
    AsyncSocket *old = slot.data();
    if (old && !old->isConnected()) {
        retire(slot);
        return;
    }
    if (old) {
        old->setDelegate(nullptr);
        QObject::connect(old, &TcpSocketBase::closed, old, &QObject::deleteLater);
        old->disconnectAfterWriting();
        if (old->isDisconnected())
            old->deleteLater();
    }
    slot.clear();
}

QString clientName()
{
    // Unless told otherwise, the name the user stored in the library's settings.
    SharedSockets &shared = sockets();
    if (shared.clientNameSource)
        return shared.clientNameSource();
    const std::shared_ptr<Platform::KeyValueStore> store = settings::store();
    return store ? store->value(kClientNameKey).toString() : QString();
}

// Writes one request (no write time-out unless given) and arms one read
// without time-out.
void sendOn(TcpSocketBase *socket, const QString &text, qint64 writeTag = 0, qint64 readTag = 0,
            int writeTimeoutMs = -1)
{
    if (!socket)
        return;
    socket->writeData(text.toUtf8(), writeTimeoutMs, writeTag);
    socket->readDataWithTimeout(-1, readTag);
}

// A new run-loop socket that has started to connect, or none.
AsyncSocket *startRunLoopSocket(const QString &host, quint16 port, AsyncSocketDelegate *delegate,
                                int connectTimeoutMs)
{
    auto *socket = new AsyncSocket(delegate);
    socket->setControlConnectionLimits();
    TavlinError error;
    if (!socket->connectToHost(host, port, connectTimeoutMs, &error)) {
        qInfo().noquote() << "connect to" << host << "failed to start:" << error.description;
        socket->deleteLater();
        return nullptr;
    }
    return socket;
}

AsyncSocket *install(QPointer<AsyncSocket> &slot, AsyncSocket *socket)
{
    slot = socket;
    if (slot)
        slot->readDataWithTimeout(-1, 0);
    return slot.data();
}

GCDAsyncSocket *makeQueueSocket(QPointer<GCDAsyncSocket> &slot, const QString &host, quint16 port,
                                GCDAsyncSocketDelegate *delegate, int connectTimeoutMs, qint64 readTag,
                                const char *refusalLog)
{
    retire(slot);
    auto *socket = new GCDAsyncSocket(delegate);
    socket->setControlConnectionLimits();
    TavlinError error;
    if (socket->connectToHost(host, port, connectTimeoutMs, &error)) {
        slot = socket;
        slot->readDataWithTimeout(-1, readTag);
    } else {
        qInfo().noquote() << QString::fromUtf8(refusalLog).arg(host);
        socket->deleteLater();
    }
    return slot.data();
}

bool hasControlCharacter(const QString &text)
{
    for (const QChar ch : text) {
        if (ch.category() == QChar::Other_Control || ch.category() == QChar::Separator_Line
            || ch.category() == QChar::Separator_Paragraph)
            return true;
    }
    return false;
}

} // namespace

// --- Factories ---

AsyncSocket *TavlinGlobal::CreateSocket(const QString &host, quint16 port, AsyncSocketDelegate *delegate,
                                        int connectTimeoutMs, const std::function<void()> &whenStarted)
{
    SharedSockets &shared = sockets();
    shared.lastHost = host;
    shared.lastPort = port;
    AsyncSocket *socket = startRunLoopSocket(host, port, delegate, connectTimeoutMs);
    if (!socket) {
        // The caller that asked to be told of the start keeps what it had.
        if (!whenStarted)
            retire(shared.handshake);
        return nullptr;
    }
    if (whenStarted)
        whenStarted();
    retireHandshake(shared.handshake);
    return install(shared.handshake, socket);
}

AsyncSocket *TavlinGlobal::getAsyncSocket_8121()
{
    return sockets().handshake.data();
}

AsyncSocket *TavlinGlobal::CreateHostPreviewControlSocket(const QString &host, quint16 port,
                                                          AsyncSocketDelegate *delegate, int connectTimeoutMs)
{
    SharedSockets &shared = sockets();
    if (AsyncSocket *old = shared.hostPreview.data()) {
        // It finishes what it has queued, then goes.
        old->setDelegate(nullptr);
        QObject::connect(old, &TcpSocketBase::closed, old, &QObject::deleteLater);
        old->disconnectAfterReadingAndWriting();
        if (old->isDisconnected())
            old->deleteLater();
        shared.hostPreview.clear();
    }
    return install(shared.hostPreview, startRunLoopSocket(host, port, delegate, connectTimeoutMs));
}

AsyncSocket *TavlinGlobal::getHostPreviewSocket()
{
    return sockets().hostPreview.data();
}

GCDAsyncSocket *TavlinGlobal::createMasterConGCDAsyncSocket(const QString &host, quint16 port,
                                                            GCDAsyncSocketDelegate *delegate, int connectTimeoutMs)
{
    return makeQueueSocket(sockets().masterControl, host, port, delegate, connectTimeoutMs, kMasterControlReadTag,
                           "ryle, host preview cant connect to server,%1");
}

GCDAsyncSocket *TavlinGlobal::getMasterConSocket()
{
    return sockets().masterControl.data();
}

GCDAsyncSocket *TavlinGlobal::createDirectCastGCDAsyncSocket(const QString &host, quint16 port,
                                                             GCDAsyncSocketDelegate *delegate, int connectTimeoutMs)
{
    return makeQueueSocket(sockets().directCast, host, port, delegate, connectTimeoutMs, kDirectCastTag,
                           "ryle, directCastSocket cant connect to server,%1");
}

GCDAsyncSocket *TavlinGlobal::getDirectCastSocket()
{
    return sockets().directCast.data();
}

GCDAsyncSocket *TavlinGlobal::createDisConnectCastGCDAsyncSocket(const QString &host, quint16 port,
                                                                 GCDAsyncSocketDelegate *delegate,
                                                                 int connectTimeoutMs)
{
    return makeQueueSocket(sockets().disConnectCast, host, port, delegate, connectTimeoutMs, kDisConnectCastTag,
                           " disconnectCastSocket cant connect to server,%1");
}

GCDAsyncSocket *TavlinGlobal::getDisConnectCastSocket()
{
    return sockets().disConnectCast.data();
}

void TavlinGlobal::setSocketDelegate(AsyncSocketDelegate *runLoopDelegate, GCDAsyncSocketDelegate *queueDelegate)
{
    SharedSockets &shared = sockets();
    if (shared.handshake) {
        shared.handshake->setDelegate(runLoopDelegate);
        shared.handshake->setUserData(0);
    }
    for (GCDAsyncSocket *socket : {shared.masterControl.data(), shared.directCast.data()}) {
        if (socket) {
            socket->setDelegate(queueDelegate);
            socket->setUserData(0);
        }
    }
}

QString TavlinGlobal::getLastHost()
{
    return sockets().lastHost;
}

quint16 TavlinGlobal::getLastPort()
{
    return sockets().lastPort;
}

void TavlinGlobal::resetSockets()
{
    SharedSockets &shared = sockets();
    retire(shared.handshake);
    retire(shared.hostPreview);
    retire(shared.masterControl);
    retire(shared.directCast);
    retire(shared.disConnectCast);
    shared.lastHost.clear();
    shared.lastPort = 0;
}

void TavlinGlobal::releaseSockets()
{
    SharedSockets &shared = sockets();
    retire(shared.handshake, true);
    retire(shared.hostPreview, true);
    retire(shared.masterControl, true);
    retire(shared.directCast, true);
    retire(shared.disConnectCast, true);
}

void TavlinGlobal::setClientNameSource(std::function<QString()> source)
{
    sockets().clientNameSource = std::move(source);
}

// --- Text commands ---

void TavlinGlobal::sendCommandToReceive(const QString &text)
{
    sendOn(sockets().masterControl.data(), text);
}

void TavlinGlobal::directCastSendCommandToReceive(const QString &text)
{
    sendOn(sockets().directCast.data(), text, kDirectCastCommandTag, kDirectCastCommandTag);
}

void TavlinGlobal::checkIfPaswExist()
{
    sendOn(sockets().handshake.data(), QStringLiteral("GETPASSWORDCONFIG\r\ntavlin\r\n\r\n"));
}

bool TavlinGlobal::checkPassword(const QString &code, int timeoutMs)
{
    if (hasControlCharacter(code)) {
        qInfo("casting code refused: it holds a control character");
        return false;
    }
    AsyncSocket *socket = sockets().handshake.data();
    if (!socket)
        return false;
    sendOn(socket, QStringLiteral("%1\r\n%2\r\n\r\n").arg(QStringLiteral("CHECKPASSWORD"), code), 0, 0, timeoutMs);
    return true;
}

void TavlinGlobal::sayHello()
{
    qInfo("sayHello~~~");
    const QString name = clientName();
    if (name.isEmpty())
        return;
    sendOn(sockets().handshake.data(), QStringLiteral("sayHello\r\n%1\r\n%2\r\n\r\n").arg(name, QString::number(3)));
}

void TavlinGlobal::sayByebye()
{
    qInfo("sayByebye~~~");
    const QString name = clientName();
    if (name.isEmpty())
        return;
    sendOn(sockets().handshake.data(), QStringLiteral("sayByebye\r\n%1\r\n\r\n").arg(name));
}

void TavlinGlobal::auth()
{
    sendOn(sockets().handshake.data(),
           QStringLiteral("auth\r\nsdcard %1 %2\r\n\r\n").arg(kClientHttpPort).arg(QStringLiteral("quintal")));
}

void TavlinGlobal::sendKeyEventMsg(qint64 key)
{
    sendOn(sockets().handshake.data(), QStringLiteral("KEYEVENT\r\n%1\r\n\r\n").arg(key));
}

void TavlinGlobal::startOrStopAnnotation(bool start, AsyncSocket *annotationSocket)
{
    setIsAnnotation(start);
    const QString command = QStringLiteral("DRAW\r\n%1\r\n\r\n").arg(start ? 1 : 0);
    qInfo().noquote() << QStringLiteral("AnnotationCommand:startOrstop->%1").arg(command);
    sendOn(annotationSocket, command, start ? 111 : 0);
}

void TavlinGlobal::setAnnotationColor(int color, int size, AsyncSocket *annotationSocket)
{
    sendOn(annotationSocket, QStringLiteral("PEN_STYLE\r\n%1\r\n%2\r\n\r\n").arg(color).arg(size), 222);
}

void TavlinGlobal::sendMsgAction(int action, double pointX, double pointY, AsyncSocket *annotationSocket)
{
    sendOn(annotationSocket, QString::asprintf("PAINT_MSG\r\n%d %f %f\r\n\r\n", action, pointX, pointY), 333);
}

void TavlinGlobal::clearAnnotation(AsyncSocket *annotationSocket)
{
    sendOn(annotationSocket, QStringLiteral("CLEAR\r\ntrue\r\n\r\n"), 444);
}

void TavlinGlobal::inputKeyBoard(qint64 first, qint64 length, const QString &content, AsyncSocket *inputSocket)
{
    sendOn(inputSocket, QStringLiteral("CONTENT\r\n%1\r\n%2 %3\r\n\r\n").arg(first).arg(length).arg(content), 888);
}

void TavlinGlobal::enterKeyCode(qint16 keyCode, AsyncSocket *inputSocket)
{
    sendOn(inputSocket, QStringLiteral("KEYEVENT\r\n%1\r\n\r\n").arg(keyCode), 999);
}
