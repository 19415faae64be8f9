#pragma once

#include <QDBusConnection>

#include <functional>

#include "Platform/FileRevealer.h"

namespace Platform::Linux {

// Asks the file manager through "org.freedesktop.FileManager1" ShowItems on
// the given bus. Where no file manager answers (no such service, or an
// error), the folder is opened instead with `openFolder`.
class DBusFileRevealer final : public FileRevealer {
public:
    using FolderOpener = std::function<bool(const QString &folder)>;

    // Production: the session bus, and "xdg-open <folder>" as the fallback.
    DBusFileRevealer();
    DBusFileRevealer(QDBusConnection bus, FolderOpener openFolder, int callTimeoutMs = 3000);

    bool revealFile(const QString &path) override;

private:
    QDBusConnection m_bus;
    FolderOpener m_openFolder;
    int m_callTimeoutMs;
};

} // namespace Platform::Linux
