#include "Utils/settings/settings.h"

#include "Platform/LinuxPlatform.h"

namespace {

const QString kKeepScreenRatioKey = QStringLiteral("kKeepScreenRatioKey");

std::shared_ptr<Platform::KeyValueStore> &storeSlot()
{
    static std::shared_ptr<Platform::KeyValueStore> store;
    return store;
}

Platform::KeyValueStore &store()
{
    if (!storeSlot())
        storeSlot() = Platform::Linux::makeKeyValueStore();
    return *storeSlot();
}

} // namespace

void settings::setStore(std::shared_ptr<Platform::KeyValueStore> newStore)
{
    storeSlot() = std::move(newStore);
}

qint64 settings::getKeepAspectValue()
{
    // Absent or not a number reads as 0, as an unset user default does.
    return store().value(kKeepScreenRatioKey).toLongLong();
}

void settings::setKeepAspectValue(qint64 value)
{
    store().setValue(kKeepScreenRatioKey, value);
}

void settings::initKeepAspectValue()
{
    if (getKeepAspectValue() == 0)
        setKeepAspectValue(1);
}
