#include "LinuxActivityInhibitor.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusMetaType>

#include "Platform/LinuxPlatform.h"

namespace Platform::Linux {

LogindActivityInhibitor::LogindActivityInhibitor(QDBusConnection bus, int callTimeoutMs)
    : m_bus(std::move(bus)), m_callTimeoutMs(callTimeoutMs)
{
}

bool LogindActivityInhibitor::beginActivity(const QString &reason)
{
    auto fail = [this](const QString &why) {
        if (!m_failureLogged) {
            m_failureLogged = true;
            qWarning("idle inhibitor unavailable: %s", qUtf8Printable(why));
        }
        return false;
    };
    if (!m_bus.isConnected())
        return fail(QStringLiteral("no system bus"));
    if (!(m_bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing))
        return fail(QStringLiteral("the bus cannot pass file descriptors"));

    QString who = QCoreApplication::applicationName();
    if (who.isEmpty())
        who = QStringLiteral("Tavlin");
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("idle") << who << reason << QStringLiteral("block");
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, m_callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return fail(reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage());
    if (reply.arguments().isEmpty())
        return fail(QStringLiteral("empty reply"));
    const auto descriptor = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
    if (!descriptor.isValid())
        return fail(QStringLiteral("no file descriptor in the reply"));
    m_held.append(descriptor);
    return true;
}

std::shared_ptr<ActivityInhibitor> makeActivityInhibitor()
{
    return std::make_shared<LogindActivityInhibitor>(QDBusConnection::systemBus());
}

} // namespace Platform::Linux
