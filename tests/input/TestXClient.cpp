#include "TestXClient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/uio.h>
#include <xcb/randr.h>
#include <xcb/xcbext.h>

namespace {

template<typename T>
struct Freed {
    T *p;
    ~Freed() { std::free(p); }
    T *operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

} // namespace

TestXClient::TestXClient(const QByteArray &display)
{
    m_connection = xcb_connect(display.constData(), nullptr);
    if (xcb_connection_has_error(m_connection))
        return;
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    m_root = screen->root;

    const xcb_window_t window = xcb_generate_id(m_connection);
    const uint32_t mask = XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK;
    const uint32_t values[] = {1, XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_BUTTON_PRESS
                                      | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, 0, 0, screen->width_in_pixels,
                      screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, mask, values);
    xcb_map_window(m_connection, window);
    xcb_flush(m_connection);

    // Focus can be given only once the window is viewable.
    QDeadlineTimer deadline(5000);
    bool mapped = false;
    while (!mapped && !deadline.hasExpired()) {
        xcb_generic_event_t *event = xcb_poll_for_event(m_connection);
        if (!event) {
            pollfd pfd{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            poll(&pfd, 1, 50);
            continue;
        }
        mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
        std::free(event);
    }
    if (!mapped)
        return;
    Freed<xcb_generic_error_t> error{xcb_request_check(
        m_connection, xcb_set_input_focus_checked(m_connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME))};
    if (error)
        return;
    m_window = window;
}

TestXClient::~TestXClient()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

QPoint TestXClient::pointer()
{
    Freed<xcb_query_pointer_reply_t> reply{
        xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr)};
    return reply ? QPoint(reply->root_x, reply->root_y) : QPoint(-1, -1);
}

QPoint TestXClient::pointerWhenAt(QPoint expected, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QPoint at = pointer();
    while (at != expected && !deadline.hasExpired()) {
        poll(nullptr, 0, 10);
        at = pointer();
    }
    return at;
}

bool TestXClient::addMonitor(const char *name, QRect bounds, bool primary)
{
    Freed<xcb_intern_atom_reply_t> atom{xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name), nullptr)};
    if (!atom)
        return false;
    // Written by hand: libxcb's own SetMonitor request miscounts its length.
#pragma pack(push, 1)
    struct {
        uint8_t major, minor;
        uint16_t length;
        uint32_t window, name;
        uint8_t primary, automatic;
        uint16_t outputs;
        int16_t x, y;
        uint16_t width, height;
        uint32_t widthMm, heightMm;
    } request{};
#pragma pack(pop)
    request.window = m_root;
    request.name = atom->atom;
    request.primary = primary;
    request.x = int16_t(bounds.x());
    request.y = int16_t(bounds.y());
    request.width = uint16_t(bounds.width());
    request.height = uint16_t(bounds.height());
    iovec parts[3];
    parts[2].iov_base = &request;
    parts[2].iov_len = sizeof request;
    xcb_protocol_request_t protocol{1, &xcb_randr_id, XCB_RANDR_SET_MONITOR, 1};
    const xcb_void_cookie_t cookie{xcb_send_request(m_connection, XCB_REQUEST_CHECKED, parts + 2, &protocol)};
    Freed<xcb_generic_error_t> error{xcb_request_check(m_connection, cookie)};
    return !error && !xcb_connection_has_error(m_connection);
}

uint8_t TestXClient::keycodeFor(uint32_t keysym)
{
    const xcb_setup_t *setup = xcb_get_setup(m_connection);
    const uint8_t first = setup->min_keycode;
    const uint8_t count = setup->max_keycode - setup->min_keycode + 1;
    Freed<xcb_get_keyboard_mapping_reply_t> reply{xcb_get_keyboard_mapping_reply(
        m_connection, xcb_get_keyboard_mapping(m_connection, first, count), nullptr)};
    if (!reply)
        return 0;
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply.p);
    const int perKey = reply->keysyms_per_keycode;
    for (int i = 0; i < count; ++i) {
        if (syms[i * perKey] == keysym)
            return static_cast<uint8_t>(first + i);
    }
    return 0;
}

void TestXClient::pump(int timeoutMs)
{
    // The sockets of the code under test run on this thread's event loop.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    xcb_flush(m_connection);
    pollfd pfd{xcb_get_file_descriptor(m_connection), POLLIN, 0};
    poll(&pfd, 1, timeoutMs);
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        const uint8_t type = event->response_type & 0x7f;
        if (type >= XCB_KEY_PRESS && type <= XCB_BUTTON_RELEASE) {
            // Key and button events share their layout.
            const auto *input = reinterpret_cast<const xcb_key_press_event_t *>(event);
            m_events.append({type, input->detail, input->state, QPoint(input->root_x, input->root_y)});
        }
        std::free(event);
    }
}

QList<TestXClient::Event> TestXClient::waitForEvents(int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_events.size() < count && !deadline.hasExpired())
        pump(10);
    QList<Event> events;
    events.swap(m_events);
    return events;
}

QList<TestXClient::Event> TestXClient::collectFor(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        pump(10);
    QList<Event> events;
    events.swap(m_events);
    return events;
}
