#include "ReceiverTcp.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <sys/socket.h>

namespace ReceiverTcp {

QTcpServer *listen(QObject *owner, const QHostAddress &address, quint16 port, QString *error)
{
    auto *server = new QTcpServer(owner);
    if (server->listen(address, port))
        return server;
    if (error)
        *error = server->errorString();
    delete server;
    return nullptr;
}

void drop(QTcpSocket *socket, QObject *receiver)
{
    socket->disconnect(receiver);
    socket->abort();
    socket->deleteLater();
}

void reset(QTcpSocket *socket)
{
    linger option{1, 0};
    ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &option, sizeof(option));
    socket->abort();
}

} // namespace ReceiverTcp
