#include "Platform/LinuxPlatform.h"

namespace Platform::Linux {
namespace {

class StoredRemoteInputConsent final : public RemoteInputConsent {
public:
    explicit StoredRemoteInputConsent(std::shared_ptr<KeyValueStore> store) : m_store(std::move(store)) {}

    // Only a yes that was written counts: a value the settings file holds in
    // any other shape (edited by hand, or damaged) leaves the consent not given.
    bool isGiven() const override
    {
        if (!m_store)
            return false;
        const QVariant stored = m_store->value(kRemoteInputConsentKey);
        if (stored.typeId() == QMetaType::Bool)
            return stored.toBool();
        if (stored.typeId() == QMetaType::QString || stored.typeId() == QMetaType::QByteArray)
            return stored.toString() == QLatin1String("true");
        return false;
    }

    void setGiven(bool given) override
    {
        if (m_store)
            m_store->setValue(kRemoteInputConsentKey, given);
    }

private:
    std::shared_ptr<KeyValueStore> m_store;
};

} // namespace

std::shared_ptr<RemoteInputConsent> makeRemoteInputConsent(std::shared_ptr<KeyValueStore> store)
{
    return std::make_shared<StoredRemoteInputConsent>(std::move(store));
}

} // namespace Platform::Linux
