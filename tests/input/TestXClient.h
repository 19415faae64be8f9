#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QRect>
#include <functional>
#include <memory>
#include <xcb/xcb.h>

// A plain X client of the tests: a window over the whole screen that takes
// the keyboard focus and records the key and button events it receives.
class TestXClient {
public:
    struct Event {
        uint8_t type = 0;     // XCB_KEY_PRESS ... XCB_BUTTON_RELEASE
        uint8_t detail = 0;   // keycode or button
        uint16_t state = 0;   // modifier and button state before the event
        QPoint at;            // root coordinates
    };

    explicit TestXClient(const QByteArray &display);
    ~TestXClient();

    bool ok() const { return m_window != XCB_NONE; }
    xcb_connection_t *connection() const { return m_connection; }

    QPoint pointer();
    // The pointer once it reached `expected` (other clients' requests may
    // still be on their way), or where it is when the time is up.
    QPoint pointerWhenAt(QPoint expected, int timeoutMs = 10000);
    // Adds a RandR monitor over part of the screen; false on failure.
    bool addMonitor(const char *name, QRect bounds, bool primary);
    // Keycode whose first symbol in the server's core mapping is `keysym`, 0 when none.
    uint8_t keycodeFor(uint32_t keysym);
    // Waits until `count` input events arrived (or the time is up) and returns
    // them all; the thread's Qt events are handled meanwhile.
    QList<Event> waitForEvents(int count, int timeoutMs = 10000);
    // Every input event that arrives within `ms`.
    QList<Event> collectFor(int ms);

private:
    void pump(int timeoutMs);

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    xcb_window_t m_window = XCB_NONE;
    QList<Event> m_events;
};
