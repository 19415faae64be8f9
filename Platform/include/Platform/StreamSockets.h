#pragma once

#include <QHostAddress>
#include <QtGlobal>

#include "PlatformExport.h"

// The descriptor-level calls of the library's socket layer. Every result
// that can fail carries the system's errno value (0 for success); the caller
// compares it with the <cerrno> names.
namespace Platform::StreamSockets {

// A non-blocking, close-on-exec TCP descriptor for the address's family.
// Returns an errno value; *fd is set on success.
PLATFORM_EXPORT int openStream(const QHostAddress &address, int *fd);
// Starts a connect: 0 when connected at once, EINPROGRESS when under way,
// another errno value when it failed.
PLATFORM_EXPORT int startConnect(int fd, const QHostAddress &address, quint16 port);
// The outcome of a connect that was under way (0: connected).
PLATFORM_EXPORT int pendingError(int fd);
// Bytes read (> 0), 0 at the end of the stream, -1 with *error set.
PLATFORM_EXPORT qint64 receive(int fd, char *buffer, qint64 size, int *error);
// Bytes written (>= 0), or -1 with *error set. Never raises SIGPIPE.
PLATFORM_EXPORT qint64 send(int fd, const char *data, qint64 size, int *error);
PLATFORM_EXPORT void close(int fd);
// Allows (or forbids) sending datagrams to a broadcast address.
PLATFORM_EXPORT bool setBroadcast(qintptr fd, bool enable);

} // namespace Platform::StreamSockets
