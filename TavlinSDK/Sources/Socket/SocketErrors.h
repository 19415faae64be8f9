#pragma once

#include <QString>

#include "TavlinError.h"

// Error domains and codes of the socket layer. The run-loop and the
// queue-based TCP sockets keep their own numbering; failures reported by the
// operating system travel in the POSIX domain with this system's errno value,
// so callers test them by meaning (isConnectionReset, isNotConnected) and
// never by a number taken from another system.
namespace SocketErrors {

inline const QString kAsyncSocketErrorDomain = QStringLiteral("AsyncSocketErrorDomain");
inline const QString kGCDAsyncSocketErrorDomain = QStringLiteral("GCDAsyncSocketErrorDomain");
inline const QString kAsyncUdpSocketErrorDomain = QStringLiteral("AsyncUdpSocketErrorDomain");
inline const QString kPosixErrorDomain = QStringLiteral("NSPOSIXErrorDomain");

// Run-loop TCP socket.
enum AsyncSocketError : qint64 {
    AsyncSocketCFSocketError = -1, // a failure of the socket itself (no errno)
    AsyncSocketConnectTimeoutError = 2,
    AsyncSocketReadTimeoutError = 4,
    AsyncSocketWriteTimeoutError = 5,
};

// Queue-based TCP socket.
enum GCDAsyncSocketError : qint64 {
    GCDAsyncSocketBadParamError = 2,
    GCDAsyncSocketConnectTimeoutError = 3,
    GCDAsyncSocketReadTimeoutError = 4,
    GCDAsyncSocketWriteTimeoutError = 5,
    GCDAsyncSocketClosedError = 7,
    GCDAsyncSocketOtherError = 8,
};

// Run-loop UDP socket.
enum AsyncUdpSocketError : qint64 {
    AsyncUdpSocketCFSocketError = -1,
    AsyncUdpSocketBadParameter = 2,
    AsyncUdpSocketIPv4Unavailable = 3,
    AsyncUdpSocketSendTimeoutError = 5,
    AsyncUdpSocketReceiveTimeoutError = 6,
};

// An operating-system failure as an error of the POSIX domain.
TavlinError posixError(int errnoValue);

// The peer reset the connection.
bool isConnectionReset(const TavlinError &error);
// The socket was not (or no longer) connected: a write after the peer went.
bool isNotConnected(const TavlinError &error);

} // namespace SocketErrors
