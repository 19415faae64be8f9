#pragma once

#include <QDBusConnection>

#include "Platform/ScreenLockMonitor.h"

class QDBusPendingCallWatcher;

namespace Platform::Linux {

// Turns the desktop's and logind's lock notices into locked():
// org.freedesktop.ScreenSaver and org.gnome.ScreenSaver ActiveChanged(true) on
// the session bus, and Lock of this process's own logind session on the
// system bus. Several of them may report one lock; each is passed on.
class DBusScreenLockMonitor final : public ScreenLockMonitor {
    Q_OBJECT
public:
    DBusScreenLockMonitor(QDBusConnection sessionBus, QDBusConnection systemBus, QObject *parent = nullptr);
    void start() override;

    // The logind session object watched, once found (empty before).
    QString watchedSessionPath() const { return m_sessionPath; }

private slots:
    void screenSaverActiveChanged(bool active);
    void sessionLocked();

private:
    void lookUpSession(const QString &method, const QVariant &argument);
    void sessionLookUpFinished(QDBusPendingCallWatcher *watcher, bool lastAttempt);

    QDBusConnection m_sessionBus;
    QDBusConnection m_systemBus;
    QString m_sessionPath;
    bool m_started = false;
};

} // namespace Platform::Linux
