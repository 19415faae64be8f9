#pragma once

// The process's peak resident memory, to show that a step stays within a
// bound. Header only.

#include <QFile>
#include <QtGlobal>

namespace PeakMemory {

inline qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Starts a measurement and gives its base: the peak is set back to what is
// resident now, or, where the kernel does not allow that, stays the peak so
// far, which is then the base.
inline qint64 start()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    return statusKiB("VmHWM") * 1024;
}

// The most resident since start() set the peak back.
inline qint64 peak()
{
    return statusKiB("VmHWM") * 1024;
}

} // namespace PeakMemory
