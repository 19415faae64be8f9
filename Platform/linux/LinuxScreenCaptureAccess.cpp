#include "LinuxScreenCaptureAccess.h"

#include <cstdlib>
#include <xcb/xcb.h>

#include <QtGlobal>

#include "Platform/LinuxPlatform.h"

namespace Platform::Linux {

X11ScreenCaptureAccess::X11ScreenCaptureAccess(QByteArray displayName) : m_displayName(std::move(displayName)) {}

bool X11ScreenCaptureAccess::canRecordScreen()
{
    int screenNumber = 0;
    xcb_connection_t *connection =
        xcb_connect(m_displayName.isEmpty() ? nullptr : m_displayName.constData(), &screenNumber);
    bool readable = false;
    if (connection && !xcb_connection_has_error(connection)) {
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
        for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
            xcb_screen_next(&screens);
        if (screens.rem > 0) {
            const xcb_get_image_cookie_t cookie = xcb_get_image(
                connection, XCB_IMAGE_FORMAT_Z_PIXMAP, screens.data->root, 0, 0, 1, 1, ~0u);
            xcb_generic_error_t *error = nullptr;
            xcb_get_image_reply_t *image = xcb_get_image_reply(connection, cookie, &error);
            readable = image && !error;
            std::free(image);
            std::free(error);
        }
    }
    if (connection)
        xcb_disconnect(connection);
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
