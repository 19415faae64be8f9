#pragma once

// A bus daemon of the test's own, so that tests running side by side never
// meet each other's names on a shared bus. Header-only: only the suites that
// use D-Bus link it.

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include "TestSupport.h"

namespace TestSupport {

class PrivateSessionBus {
public:
    PrivateSessionBus()
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (program.isEmpty())
            return;
        m_daemon.setProcessChannelMode(QProcess::SeparateChannels);
        m_daemon.setStandardErrorFile(QProcess::nullDevice());
        m_daemon.start(program, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                                 QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForStarted(10000))
            return;
        QDeadlineTimer deadline(10000);
        while (!m_daemon.canReadLine() && !deadline.hasExpired())
            m_daemon.waitForReadyRead(100);
        address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateSessionBus()
    {
        for (const QString &name : std::as_const(m_connections))
            QDBusConnection::disconnectFromBus(name);
        m_daemon.kill();
        m_daemon.waitForFinished(10000);
    }
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    bool available() const { return !address.isEmpty(); }
    // A connection to this bus under `name`, closed with the bus.
    QDBusConnection connect(const QString &name)
    {
        m_connections.append(name);
        return QDBusConnection::connectToBus(address, name);
    }

    QString address;

private:
    QProcess m_daemon;
    QStringList m_connections;
};

// Skips (or, under CI, fails) the running test when the bus did not start.
inline bool requireBus(const PrivateSessionBus &bus)
{
    return requireFacility("a D-Bus daemon (dbus-daemon)", bus.available());
}

} // namespace TestSupport
