#include <QSettings>

#include "Platform/LinuxPlatform.h"

namespace Platform::Linux {
namespace {

// One store for the whole process: QSettings with the application's
// organisation and name, which the program sets before anything reads it.
class SettingsStore final : public KeyValueStore {
public:
    bool contains(const QString &key) const override { return QSettings().contains(key); }
    QVariant value(const QString &key) const override { return QSettings().value(key); }
    void setValue(const QString &key, const QVariant &value) override
    {
        QSettings settings;
        settings.setValue(key, value);
        settings.sync();
    }
    void remove(const QString &key) override
    {
        QSettings settings;
        settings.remove(key);
        settings.sync();
    }
};

} // namespace

std::shared_ptr<KeyValueStore> makeKeyValueStore() { return std::make_shared<SettingsStore>(); }

} // namespace Platform::Linux
