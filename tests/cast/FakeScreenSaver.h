#pragma once

// A stand-in for the desktop's screen saver on a test's private bus. It
// answers from a thread of its own, so that blocking calls from the main
// thread complete.

#include <QDBusConnection>
#include <QDBusContext>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QThread>

class FakeScreenSaver : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    bool refuse = false;

    QStringList calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }
    // Cookies handed out and not taken back.
    QList<uint> active() const
    {
        QMutexLocker lock(&m_mutex);
        return m_active;
    }

public slots:
    uint Inhibit(const QString &application, const QString &reason)
    {
        QMutexLocker lock(&m_mutex);
        m_calls.append(QStringLiteral("Inhibit %1|%2").arg(application, reason));
        if (refuse) {
            sendErrorReply(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"), QStringLiteral("refused"));
            return 0;
        }
        // Cookies of a real screen saver start anywhere; 0 is one of them.
        const uint cookie = m_next++;
        m_active.append(cookie);
        return cookie;
    }
    void UnInhibit(uint cookie)
    {
        QMutexLocker lock(&m_mutex);
        m_calls.append(QStringLiteral("UnInhibit %1").arg(cookie));
        m_active.removeAll(cookie);
    }

private:
    mutable QMutex m_mutex;
    QStringList m_calls;
    QList<uint> m_active;
    uint m_next = 0;
};

// Owns "org.freedesktop.ScreenSaver" on a connection of its own.
class FakeScreenSaverService {
public:
    explicit FakeScreenSaverService(const QString &busAddress)
        : connection(QDBusConnection::connectToBus(busAddress, QStringLiteral("fake-screensaver")))
    {
        thread.start();
        saver.moveToThread(&thread);
    }
    ~FakeScreenSaverService()
    {
        connection.unregisterObject(QStringLiteral("/org/freedesktop/ScreenSaver"));
        connection.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
        thread.quit();
        thread.wait();
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-screensaver"));
    }
    bool publish()
    {
        return connection.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &saver,
                                         QDBusConnection::ExportAllSlots)
            && connection.registerService(QStringLiteral("org.freedesktop.ScreenSaver"));
    }

    QDBusConnection connection;
    QThread thread;
    FakeScreenSaver saver;
};
