#include "ScreenSaverDisplaySleepInhibitor.h"

#include <QCoreApplication>
#include <QDBusMessage>

#include "Platform/LinuxDisplayPlatform.h"

namespace Platform::Linux {
namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kInterface = QStringLiteral("org.freedesktop.ScreenSaver");

} // namespace

ScreenSaverDisplaySleepInhibitor::ScreenSaverDisplaySleepInhibitor(QDBusConnection bus, int callTimeoutMs)
    : m_bus(std::move(bus)), m_callTimeoutMs(callTimeoutMs)
{
}

ScreenSaverDisplaySleepInhibitor::~ScreenSaverDisplaySleepInhibitor()
{
    const QList<quint32> ids = m_cookies.keys();
    for (quint32 id : ids)
        release(id);
}

quint32 ScreenSaverDisplaySleepInhibitor::inhibit(const QString &reason)
{
    if (!m_bus.isConnected()) {
        qInfo("display sleep inhibitor: no session bus");
        return 0;
    }
    QString who = QCoreApplication::applicationName();
    if (who.isEmpty())
        who = QStringLiteral("Tavlin");
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Inhibit"));
    call << who << reason;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, m_callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qInfo("display sleep inhibitor: %s",
              qUtf8Printable(reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage()));
        return 0;
    }
    bool ok = false;
    const quint32 cookie = reply.arguments().constFirst().toUInt(&ok);
    if (!ok) {
        qInfo("display sleep inhibitor: the answer holds no cookie");
        return 0;
    }
    // Our own ids never repeat and are never 0, whatever the service's cookies are.
    if (++m_lastId == 0)
        ++m_lastId;
    m_cookies.insert(m_lastId, cookie);
    return m_lastId;
}

void ScreenSaverDisplaySleepInhibitor::release(quint32 id)
{
    const auto it = m_cookies.constFind(id);
    if (it == m_cookies.cend())
        return;
    const quint32 cookie = it.value();
    m_cookies.erase(it);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("UnInhibit"));
    call << cookie;
    // Nothing to wait for: the answer carries no value.
    m_bus.send(call);
}

std::shared_ptr<DisplaySleepInhibitor> makeDisplaySleepInhibitor()
{
    return std::make_shared<ScreenSaverDisplaySleepInhibitor>(QDBusConnection::sessionBus());
}

} // namespace Platform::Linux
