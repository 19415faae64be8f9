#pragma once

// A stand-in for logind on the test's private session bus. It answers from
// a thread of its own, so that blocking calls from the main thread complete.

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QThread>

class FakeLoginManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    // Paths handed out; an empty one answers with an error.
    QString sessionByPid = QStringLiteral("/org/freedesktop/login1/session/_31");
    QString sessionAuto = QStringLiteral("/org/freedesktop/login1/session/_32");
    int inhibitReadEnd = -1; // duplicated into every Inhibit answer; -1: refuse

    QStringList calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }

public slots:
    QDBusObjectPath GetSessionByPID(uint pid)
    {
        record(QStringLiteral("GetSessionByPID %1").arg(pid));
        return answer(sessionByPid);
    }
    QDBusObjectPath GetSession(const QString &id)
    {
        record(QStringLiteral("GetSession %1").arg(id));
        return answer(sessionAuto);
    }
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why, const QString &mode)
    {
        record(QStringLiteral("Inhibit %1|%2|%3|%4").arg(what, who, why, mode));
        if (inhibitReadEnd < 0) {
            sendErrorReply(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"), QStringLiteral("refused"));
            return {};
        }
        return QDBusUnixFileDescriptor(inhibitReadEnd);
    }

private:
    QDBusObjectPath answer(const QString &path)
    {
        if (path.isEmpty()) {
            sendErrorReply(QStringLiteral("org.freedesktop.login1.NoSessionForPID"), QStringLiteral("no session"));
            return {};
        }
        return QDBusObjectPath(path);
    }
    void record(const QString &call)
    {
        QMutexLocker lock(&m_mutex);
        m_calls.append(call);
    }

    mutable QMutex m_mutex;
    QStringList m_calls;
};

// Owns "org.freedesktop.login1" on a connection of its own.
class FakeLoginService {
public:
    explicit FakeLoginService(const QString &busAddress)
        : connection(QDBusConnection::connectToBus(busAddress, QStringLiteral("fake-login1")))
    {
        thread.start();
        manager.moveToThread(&thread);
    }
    ~FakeLoginService()
    {
        connection.unregisterObject(QStringLiteral("/org/freedesktop/login1"));
        connection.unregisterService(QStringLiteral("org.freedesktop.login1"));
        thread.quit();
        thread.wait();
        manager.moveToThread(QThread::currentThread());
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-login1"));
    }
    bool publish()
    {
        return connection.registerObject(QStringLiteral("/org/freedesktop/login1"), &manager,
                                         QDBusConnection::ExportAllSlots)
            && connection.registerService(QStringLiteral("org.freedesktop.login1"));
    }

    QDBusConnection connection;
    QThread thread;
    FakeLoginManager manager;
};
