#include "LinuxFileRevealer.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "Platform/LinuxPlatform.h"

namespace Platform::Linux {

namespace {

const QString kService = QStringLiteral("org.freedesktop.FileManager1");
const QString kPath = QStringLiteral("/org/freedesktop/FileManager1");
const QString kInterface = QStringLiteral("org.freedesktop.FileManager1");

} // namespace

DBusFileRevealer::DBusFileRevealer()
    : DBusFileRevealer(QDBusConnection::sessionBus(), [](const QString &folder) {
          return QProcess::startDetached(QStringLiteral("xdg-open"), {folder});
      })
{
}

DBusFileRevealer::DBusFileRevealer(QDBusConnection bus, FolderOpener openFolder, int callTimeoutMs)
    : m_bus(std::move(bus)), m_openFolder(std::move(openFolder)), m_callTimeoutMs(callTimeoutMs)
{
}

bool DBusFileRevealer::revealFile(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!m_bus.isConnected())
        return m_openFolder && m_openFolder(folder);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("ShowItems"));
    call.setArguments({QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)}, QString()});
    // The file manager may take its time to start: the answer is awaited
    // without holding up the caller.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, m_callTimeoutMs));
    FolderOpener openFolder = m_openFolder;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [watcher, openFolder, folder] {
        if (watcher->isError() && openFolder)
            openFolder(folder);
        watcher->deleteLater();
    });
    return true;
}

std::shared_ptr<FileRevealer> makeFileRevealer()
{
    return std::make_shared<DBusFileRevealer>();
}

} // namespace Platform::Linux
