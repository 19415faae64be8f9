#pragma once

#include <QByteArray>

#include "Platform/ScreenCaptureAccess.h"

struct xcb_connection_t;

namespace Platform::Linux {

// X11 asks no permission: recording works when the display opens and a
// one-pixel read of its root window succeeds.
class X11ScreenCaptureAccess final : public ScreenCaptureAccess {
public:
    // An empty name means the DISPLAY of the environment.
    explicit X11ScreenCaptureAccess(QByteArray displayName = {});
    ~X11ScreenCaptureAccess() override;
    bool canRecordScreen() override;
    void requestAccess() override {}

private:
    bool connectDisplay();
    void dropConnection();

    QByteArray m_displayName;
    xcb_connection_t *m_connection = nullptr;
    int m_screenNumber = 0;
    bool m_failureLogged = false;
};

} // namespace Platform::Linux
