#include "Utils/settings/settings.h"

namespace {

const QString kKeepScreenRatioKey = QStringLiteral("kKeepScreenRatioKey");

std::shared_ptr<Platform::KeyValueStore> &storeSlot()
{
    static std::shared_ptr<Platform::KeyValueStore> store;
    return store;
}

} // namespace

void settings::setStore(std::shared_ptr<Platform::KeyValueStore> newStore)
{
    storeSlot() = std::move(newStore);
}

std::shared_ptr<Platform::KeyValueStore> settings::store()
{
    return storeSlot();
}

qint64 settings::getKeepAspectValue()
{
    // Absent or not a number reads as 0, as an unset user default does.
    const std::shared_ptr<Platform::KeyValueStore> current = storeSlot();
    return current ? current->value(kKeepScreenRatioKey).toLongLong() : 0;
}

void settings::setKeepAspectValue(qint64 value)
{
    if (const std::shared_ptr<Platform::KeyValueStore> current = storeSlot())
        current->setValue(kKeepScreenRatioKey, value);
}

void settings::initKeepAspectValue()
{
    if (getKeepAspectValue() == 0)
        setKeepAspectValue(1);
}
