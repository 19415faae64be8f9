#include "LinuxScreenCaptureAccess.h"

#include <cstdlib>
#include <xcb/xcb.h>

#include <QThread>
#include <QtGlobal>

#include "Platform/LinuxPlatform.h"

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
    // A busy server may turn a connection away for a moment (its backlog is
    // full); a malformed or absent display fails every time.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0)
            QThread::msleep(30);
        m_connection = xcb_connect(m_displayName.isEmpty() ? nullptr : m_displayName.constData(), &m_screenNumber);
        if (!xcb_connection_has_error(m_connection))
            return true;
        const int error = xcb_connection_has_error(m_connection);
        dropConnection();
        if (error != XCB_CONN_ERROR)
            return false;
    }
    return false;
}

bool X11ScreenCaptureAccess::canRecordScreen()
{
    bool readable = false;
    if (connectDisplay()) {
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
        for (int i = 0; i < m_screenNumber && screens.rem > 0; ++i)
            xcb_screen_next(&screens);
        if (screens.rem > 0) {
            const xcb_get_image_cookie_t cookie =
                xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, screens.data->root, 0, 0, 1, 1, ~0u);
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
