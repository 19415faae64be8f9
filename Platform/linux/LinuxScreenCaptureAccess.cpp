#include "LinuxScreenCaptureAccess.h"

#include <cstdlib>
#include <xcb/xcb.h>

#include <QtGlobal>

#include "Platform/LinuxPlatform.h"
#include "XcbConnection.h"

namespace Platform::Linux {

X11ScreenCaptureAccess::X11ScreenCaptureAccess(QByteArray displayName) : m_displayName(std::move(displayName)) {}

X11ScreenCaptureAccess::~X11ScreenCaptureAccess()
{
    dropConnection();
}

void X11ScreenCaptureAccess::dropConnection()
{
    if (m_connection)
        xcb_disconnect(m_connection);
    m_connection = nullptr;
}

bool X11ScreenCaptureAccess::connectDisplay()
{
    if (m_connection && !xcb_connection_has_error(m_connection))
        return true;
    dropConnection();
    m_connection = openXcbConnection(m_displayName, &m_screenNumber);
    return m_connection != nullptr;
}

bool X11ScreenCaptureAccess::canRecordScreen()
{
    bool readable = false;
    if (connectDisplay()) {
        if (xcb_screen_t *screen = xcbScreenOf(m_connection, m_screenNumber)) {
            const xcb_get_image_cookie_t cookie =
                xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, 0, 0, 1, 1, ~0u);
            xcb_generic_error_t *error = nullptr;
            xcb_get_image_reply_t *image = xcb_get_image_reply(m_connection, cookie, &error);
            readable = image && !error;
            std::free(image);
            std::free(error);
        }
    }
    if (!readable && !m_failureLogged) {
        m_failureLogged = true;
        qWarning("screen capture unavailable: the X display cannot be read");
    }
    return readable;
}

std::shared_ptr<ScreenCaptureAccess> makeScreenCaptureAccess()
{
    return std::make_shared<X11ScreenCaptureAccess>();
}

} // namespace Platform::Linux
