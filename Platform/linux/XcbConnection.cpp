#include "XcbConnection.h"

#include <QThread>

namespace Platform::Linux {

xcb_connection_t *openXcbConnection(const QByteArray &name, int *screenNumber)
{
    constexpr int kAttempts = 5;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0)
            QThread::msleep(10 * attempt);
        xcb_connection_t *connection = xcb_connect(name.isEmpty() ? nullptr : name.constData(), screenNumber);
        const int error = connection ? xcb_connection_has_error(connection) : XCB_CONN_ERROR;
        if (error == 0)
            return connection;
        if (connection)
            xcb_disconnect(connection);
        if (error != XCB_CONN_ERROR)
            return nullptr;
    }
    return nullptr;
}

xcb_screen_t *xcbScreenOf(xcb_connection_t *connection, int number)
{
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem; xcb_screen_next(&it), ++i) {
        if (i == number)
            return it.data;
    }
    return nullptr;
}

} // namespace Platform::Linux
