#pragma once

#include <QByteArray>
#include <xcb/xcb.h>

namespace Platform::Linux {

// Opens a connection to the X display `name` (the DISPLAY variable when
// empty). A busy server now and then turns a brand-new connection away; such
// a refusal is tried again a moment later, while a malformed or absent
// display fails at once, and so, after fifteen seconds, does a server that
// takes the connection and never answers it. Null on failure; the caller
// disconnects otherwise.
xcb_connection_t *openXcbConnection(const QByteArray &name, int *screenNumber);

// The screen of that number, or null.
xcb_screen_t *xcbScreenOf(xcb_connection_t *connection, int number);

} // namespace Platform::Linux
