#include "LinuxScreenLockMonitor.h"

#include <unistd.h>

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "Platform/LinuxPlatform.h"

namespace Platform::Linux {
namespace {

const QString kLogindService = QStringLiteral("org.freedesktop.login1");

} // namespace

DBusScreenLockMonitor::DBusScreenLockMonitor(QDBusConnection sessionBus, QDBusConnection systemBus, QObject *parent)
    : ScreenLockMonitor(parent), m_sessionBus(std::move(sessionBus)), m_systemBus(std::move(systemBus))
{
}

void DBusScreenLockMonitor::start()
{
    if (m_started)
        return;
    m_started = true;

    if (m_sessionBus.isConnected()) {
        // Any object path: desktops publish the interface under several.
        for (const QString &name : {QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver")}) {
            if (!m_sessionBus.connect(name, QString(), name, QStringLiteral("ActiveChanged"), this,
                                      SLOT(screenSaverActiveChanged(bool))))
                qWarning("screen lock watch: cannot follow %s", qUtf8Printable(name));
        }
    } else {
        qWarning("screen lock watch: no session bus");
    }

    if (m_systemBus.isConnected())
        lookUpSession(QStringLiteral("GetSessionByPID"), QVariant::fromValue(static_cast<uint>(::getpid())));
    else
        qWarning("screen lock watch: no system bus, logind locks are not seen");
}

void DBusScreenLockMonitor::lookUpSession(const QString &method, const QVariant &argument)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kLogindService, QStringLiteral("/org/freedesktop/login1"),
                                                       QStringLiteral("org.freedesktop.login1.Manager"), method);
    call << argument;
    auto *watcher = new QDBusPendingCallWatcher(m_systemBus.asyncCall(call), this);
    const bool lastAttempt = method != QLatin1String("GetSessionByPID");
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, lastAttempt](QDBusPendingCallWatcher *finished) { sessionLookUpFinished(finished, lastAttempt); });
}

void DBusScreenLockMonitor::sessionLookUpFinished(QDBusPendingCallWatcher *watcher, bool lastAttempt)
{
    watcher->deleteLater();
    const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    if (reply.isError() || reply.value().path().isEmpty()) {
        if (!lastAttempt) {
            // A process outside any session (a user service): the seat's one.
            lookUpSession(QStringLiteral("GetSession"), QStringLiteral("auto"));
            return;
        }
        qWarning("screen lock watch: no logind session (%s)", qUtf8Printable(reply.error().message()));
        return;
    }
    m_sessionPath = reply.value().path();
    if (!m_systemBus.connect(kLogindService, m_sessionPath, QStringLiteral("org.freedesktop.login1.Session"),
                             QStringLiteral("Lock"), this, SLOT(sessionLocked())))
        qWarning("screen lock watch: cannot follow %s", qUtf8Printable(m_sessionPath));
}

void DBusScreenLockMonitor::screenSaverActiveChanged(bool active)
{
    if (active)
        emit locked();
}

void DBusScreenLockMonitor::sessionLocked()
{
    emit locked();
}

std::shared_ptr<ScreenLockMonitor> makeScreenLockMonitor()
{
    return std::make_shared<DBusScreenLockMonitor>(QDBusConnection::sessionBus(), QDBusConnection::systemBus());
}

} // namespace Platform::Linux
