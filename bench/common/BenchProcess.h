#pragma once

// What the benchmarks measure of their own process, and the fake file-share
// server they run against, read the same way by every benchmark.

#include <sys/resource.h>

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace BenchProcess {

// A line of /proc/self/status in KiB: "VmHWM" is the resident-memory peak
// since the last reset, "VmRSS" the resident memory now.
inline qint64 statusKiB(const QByteArray &key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

inline void resetPeakRss()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// The 1, 5 and 15 minute load averages, as uptime prints them: the figures
// of a run mean little without the load the machine was under.
inline QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    const QList<QByteArray> fields = file.readAll().split(' ');
    return fields.size() < 3 ? QStringLiteral("unknown")
                             : QString::fromLatin1(fields.at(0) + ", " + fields.at(1) + ", " + fields.at(2));
}

// User and system processor time of this process (RUSAGE_SELF) or of its
// waited-for children (RUSAGE_CHILDREN).
inline double cpuSeconds(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

} // namespace BenchProcess
