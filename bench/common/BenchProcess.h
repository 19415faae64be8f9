#pragma once

// What the benchmarks measure of their own process, and the fake file-share
// server they run against, read the same way by every benchmark.

#include <sys/resource.h>

#include <cstdio>
#include <ctime>

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>

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

// User and system processor time of a usage record.
inline double cpuSeconds(const rusage &usage)
{
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// User and system processor time of this process (RUSAGE_SELF), of its
// waited-for children (RUSAGE_CHILDREN) or of the calling thread
// (RUSAGE_THREAD).
inline double cpuSeconds(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    return cpuSeconds(usage);
}

// The calling thread's processor time in nanoseconds.
inline qint64 threadCpuNs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// What the figures were measured on, printed with them: the processor, the
// cores and the load (from /proc/loadavg) at the moment of the call.
inline QByteArray cpuModel()
{
    QFile info(QStringLiteral("/proc/cpuinfo"));
    if (info.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : info.readAll().split('\n')) {
            if (line.startsWith("model name"))
                return line.mid(line.indexOf(':') + 1).trimmed();
        }
    }
    return "unknown processor";
}

inline QByteArray loadAverage()
{
    QFile load(QStringLiteral("/proc/loadavg"));
    if (!load.open(QIODevice::ReadOnly))
        return "unknown";
    const QList<QByteArray> fields = load.readAll().simplified().split(' ');
    return fields.size() >= 3 ? fields[0] + ' ' + fields[1] + ' ' + fields[2] : QByteArray("unknown");
}

inline QByteArray machineLine()
{
    return cpuModel() + ", " + QByteArray::number(QThread::idealThreadCount()) + " cores, load average "
           + loadAverage();
}

// Starts the fake file-share server program with `arguments` (its address
// and port are added) and returns the base URL it prints once it listens;
// empty, with the reason printed, when it does not come up.
inline QString startFakeFileShare(QProcess &server, const QString &program, QStringList arguments)
{
    arguments = QStringList{QStringLiteral("--address"), QStringLiteral("127.0.0.1"),
                            QStringLiteral("--file-share-port"), QStringLiteral("0")}
                + arguments;
    server.start(program, arguments);
    if (!server.waitForStarted(10000)) {
        std::fprintf(stderr, "the fake server does not start\n");
        return {};
    }
    QString base;
    while (server.waitForReadyRead(10000)) {
        bool ready = false;
        while (server.canReadLine()) {
            const QString line = QString::fromUtf8(server.readLine()).trimmed();
            if (line.startsWith(QStringLiteral("file-share ")))
                base = line.mid(11);
            ready |= line == QStringLiteral("ready");
        }
        if (ready)
            break;
    }
    if (base.isEmpty())
        std::fprintf(stderr, "the fake server does not listen\n");
    return base;
}

} // namespace BenchProcess
