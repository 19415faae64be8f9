#pragma once

#include <QObject>

#include "PlatformExport.h"

namespace Platform {

// Emits locked() each time the user's screen gets locked.
class PLATFORM_EXPORT ScreenLockMonitor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~ScreenLockMonitor() override = default;
    virtual void start() = 0;

signals:
    void locked();
};

} // namespace Platform
