#pragma once

#include <QString>
#include <QVariant>

#include "PlatformExport.h"

namespace Platform {

// The user's persistent settings, keyed by the system's own key names.
class PLATFORM_EXPORT KeyValueStore {
public:
    virtual ~KeyValueStore() = default;
    virtual bool contains(const QString &key) const = 0;
    // An invalid QVariant when the key is absent.
    virtual QVariant value(const QString &key) const = 0;
    virtual void setValue(const QString &key, const QVariant &value) = 0;
    virtual void remove(const QString &key) = 0;
};

} // namespace Platform
