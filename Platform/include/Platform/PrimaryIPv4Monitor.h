#pragma once

#include <QObject>

#include "PlatformExport.h"

namespace Platform {

// Whether the primary network interface (the one the default route uses)
// has an IPv4 address, and a notification whenever that may have changed.
class PLATFORM_EXPORT PrimaryIPv4Monitor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~PrimaryIPv4Monitor() override = default;
    // A fresh reading each call.
    virtual bool isPrimaryIPv4Present() = 0;
    // Begin watching; changed() may then fire, possibly without a real change.
    virtual void start() = 0;

signals:
    void changed();
};

} // namespace Platform
