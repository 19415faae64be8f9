#pragma once

// Socket chores every TCP server of the emulator shares.

#include <QHostAddress>
#include <QString>

class QObject;
class QTcpServer;
class QTcpSocket;

namespace ReceiverTcp {

// A server of `owner` listening on address:port (0 picks a free port), or
// nullptr with the reason in `error` (when given).
QTcpServer *listen(QObject *owner, const QHostAddress &address, quint16 port, QString *error);

// Cuts a connection at once: `receiver` hears nothing more from it, and the
// socket goes once control is back in the event loop.
void drop(QTcpSocket *socket, QObject *receiver);

// Ends a connection with a reset instead of an orderly close.
void reset(QTcpSocket *socket);

} // namespace ReceiverTcp
