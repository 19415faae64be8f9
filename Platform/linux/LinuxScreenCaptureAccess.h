#pragma once

#include <QByteArray>

#include "Platform/ScreenCaptureAccess.h"

namespace Platform::Linux {

// X11 asks no permission: recording works when the display opens and a
// one-pixel read of its root window succeeds.
class X11ScreenCaptureAccess final : public ScreenCaptureAccess {
public:
    // An empty name means the DISPLAY of the environment.
    explicit X11ScreenCaptureAccess(QByteArray displayName = {});
    bool canRecordScreen() override;
    void requestAccess() override {}

private:
    QByteArray m_displayName;
    bool m_failureLogged = false;
};

} // namespace Platform::Linux
