#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "Platform/LinuxPlatform.h"

namespace Platform::Linux {
namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
    | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

// Before anything is written the file exists with the user's rights alone:
// QSettings writes through a temporary file that takes over the existing
// file's rights, so no moment passes with the values readable by others.
// A file left readable by an older run is closed up as well.
void keepOwnerOnly(const QString &path)
{
    if (path.isEmpty())
        return;
    QFileInfo info(path);
    if (!info.exists()) {
        QDir().mkpath(info.absolutePath());
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly);
        return;
    }
    if (QFile::permissions(path) & kOthers)
        QFile::setPermissions(path, kOwnerOnly);
}

// The application's settings file: QSettings with the application's
// organisation and name, which the program sets before anything reads it.
class SettingsStore final : public KeyValueStore {
public:
    bool contains(const QString &key) const override { return QSettings().contains(key); }
    QVariant value(const QString &key) const override { return QSettings().value(key); }
    void setValue(const QString &key, const QVariant &value) override
    {
        QSettings settings;
        keepOwnerOnly(settings.fileName());
        settings.setValue(key, value);
        settings.sync();
    }
    void remove(const QString &key) override
    {
        QSettings settings;
        keepOwnerOnly(settings.fileName());
        settings.remove(key);
        settings.sync();
    }
};

} // namespace

std::shared_ptr<KeyValueStore> makeKeyValueStore() { return std::make_shared<SettingsStore>(); }

} // namespace Platform::Linux
