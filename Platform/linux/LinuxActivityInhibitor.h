#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QList>

#include "Platform/ActivityInhibitor.h"

namespace Platform::Linux {

// Holds a logind "idle" block inhibitor for the rest of the process's life.
class LogindActivityInhibitor final : public ActivityInhibitor {
public:
    // `bus` is where logind answers: the system bus in production.
    explicit LogindActivityInhibitor(QDBusConnection bus, int callTimeoutMs = 5000);
    bool beginActivity(const QString &reason) override;

    int heldInhibitors() const { return m_held.size(); }

private:
    QDBusConnection m_bus;
    int m_callTimeoutMs;
    QList<QDBusUnixFileDescriptor> m_held; // logind releases the block when these close
    bool m_failureLogged = false;
};

} // namespace Platform::Linux
