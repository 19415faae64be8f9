#pragma once

#include <QDBusConnection>
#include <QHash>

#include "Platform/DisplaySleepInhibitor.h"

namespace Platform::Linux {

// Inhibits the screen saver through "org.freedesktop.ScreenSaver" on the
// given bus. The service answers each Inhibit with a cookie that UnInhibit
// takes back; the service also drops the inhibitions of a client that leaves
// the bus, so a crash never keeps the display awake.
class ScreenSaverDisplaySleepInhibitor final : public DisplaySleepInhibitor {
public:
    // `bus` is where the screen saver answers: the session bus in production.
    explicit ScreenSaverDisplaySleepInhibitor(QDBusConnection bus, int callTimeoutMs = 2000);
    ~ScreenSaverDisplaySleepInhibitor() override;

    quint32 inhibit(const QString &reason) override;
    void release(quint32 id) override;

    int heldInhibitions() const { return static_cast<int>(m_cookies.size()); }

private:
    QDBusConnection m_bus;
    int m_callTimeoutMs;
    quint32 m_lastId = 0;
    QHash<quint32, quint32> m_cookies; // our id -> the service's cookie
};

} // namespace Platform::Linux
