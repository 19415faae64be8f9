#include "Main/App/QVSingleInstance.h"

#include "PublicManager/QVLog.h"

#include <QDir>
#include <QLocalServer>
#include <QLockFile>
#include <QLocalSocket>

#include <unistd.h>

namespace {

const QByteArray RaiseMessage = QByteArrayLiteral("raise\n");
constexpr int ConnectWaitMs = 1000;

} // namespace

QVSingleInstance::QVSingleInstance(const QString &name, QObject *parent)
    : QObject(parent), m_name(name.isEmpty() ? defaultName() : name)
{
}

QVSingleInstance::~QVSingleInstance() = default;

QString QVSingleInstance::defaultName()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return QDir(runtime).filePath(QStringLiteral("Quavdesk.instance"));
    return QStringLiteral("Quavdesk-%1.instance").arg(::getuid());
}

QString QVSingleInstance::lockFilePath(const QString &name)
{
    // Where the local socket of a bare name lives.
    const QString path = QDir::isAbsolutePath(name) ? name : QDir(QDir::tempPath()).filePath(name);
    return path + QStringLiteral(".lock");
}

QVSingleInstance::Role QVSingleInstance::start()
{
    auto lock = std::make_unique<QLockFile>(lockFilePath(m_name));
    // Only a holder that is gone makes a lock stale, however long ago it
    // was taken.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        m_lock = std::move(lock);
    } else if (lock->error() == QLockFile::LockFailedError) {
        // Another start holds the step, or runs: this one leaves. It may
        // not listen yet; then it comes forward by itself.
        askRunningInstance();
        return Role::Secondary;
    } else {
        QVLogInfo(0, QStringLiteral("Quavdesk cannot lock its instance name %1").arg(m_name));
    }
    // Ask first: listening would take the name over even from a running
    // instance (the socket is made aside and moved into place).
    if (askRunningInstance())
        return Role::Secondary;
    // Nobody answers under the name: at most what is left of an instance
    // that crashed. Take its place.
    QLocalServer::removeServer(m_name);
    if (listen())
        return Role::Primary;
    QVLogInfo(0, QStringLiteral("Quavdesk cannot hold its instance name %1").arg(m_name));
    return Role::Alone;
}

bool QVSingleInstance::listen()
{
    auto *server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_name)) {
        delete server;
        return false;
    }
    connect(server, &QLocalServer::newConnection, this, [this, server] {
        while (QLocalSocket *socket = server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    if (socket->readLine() == RaiseMessage)
                        emit raiseRequested();
                }
                // A peer that sends anything else at length is dropped.
                if (socket->bytesAvailable() > 256)
                    socket->abort();
            });
        }
    });
    m_server = server;
    return true;
}

bool QVSingleInstance::askRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(ConnectWaitMs))
        return false;
    socket.write(RaiseMessage);
    const bool written = socket.waitForBytesWritten(ConnectWaitMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(ConnectWaitMs);
    return written;
}
