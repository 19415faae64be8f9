// Input injection and keyboard layout over the X server: XTest posts the
// events, RandR names the displays, XKB (through xkbcommon) turns the user's
// keymap into characters. Everything talks xcb, whose errors arrive as
// values on the connection instead of through Xlib's handlers, which end the
// process: a bad request or a lost server costs an event, never the program.

#include "Platform/LinuxInput.h"

#include <QDebug>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>

#include <xcb/randr.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>
// xcb's XKB header names a structure member "explicit".
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include "MacKeyNames.h"
#include "XcbConnection.h"

namespace Platform::Linux {

namespace {

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
template<typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

constexpr quint16 kMacShiftKey = 56;
// A hostile wheel amount must not turn into millions of clicks.
constexpr qint64 kMaxClicksPerScroll = 100;

constexpr uint8_t kButtonLeft = 1;
constexpr uint8_t kButtonMiddle = 2;
constexpr uint8_t kButtonRight = 3;
constexpr uint8_t kWheelUp = 4;
constexpr uint8_t kWheelDown = 5;
constexpr uint8_t kWheelLeft = 6;
constexpr uint8_t kWheelRight = 7;

int16_t toProtocolCoordinate(double value)
{
    if (!std::isfinite(value))
        return 0;
    return static_cast<int16_t>(std::clamp(std::floor(value), -32768.0, 32767.0));
}

class X11Input final : public InputInjector, public KeyboardLayout {
public:
    explicit X11Input(const InputBackendOptions &options);
    ~X11Input() override;

    bool isTrusted() override;
    QPointF pointerLocation() override;
    QList<QRectF> displayBounds() override;
    QRectF mainDisplayBounds() override;
    void movePointer(QPointF to, PointerMotion motion) override;
    void postButton(MouseButton button, bool down, QPointF at, int clickCount) override;
    void postScroll(qint32 vertical, qint32 horizontal) override;
    bool postKey(quint16 keyCode, bool down, quint32 modifiers) override;
    void beep() override;

    quint64 currentLayout() override;
    QString translateKey(quint16 keyCode, quint32 modifiers) override;

private:
    bool connected();
    bool canInject();
    void fakeInput(uint8_t type, uint8_t detail, int16_t x = 0, int16_t y = 0);
    void flushAndDrain();
    void drainEvents();
    void handleEvent(xcb_generic_event_t *event);
    void setUpKeyboard();
    void loadKeymap();
    void refreshKeymapIfStale();
    xkb_keycode_t keycodeFor(quint16 keyCode) const;
    void wheel(qint64 &accumulated, qint32 amount, uint8_t positive, uint8_t negative);

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    QRectF m_rootBounds;
    bool m_opened = false;
    bool m_reportedLoss = false;
    bool m_hasXTest = false;
    bool m_reportedNoXTest = false;
    bool m_hasMonitors = false;
    uint8_t m_minKeycode = 8;
    uint8_t m_maxKeycode = 255;

    bool m_hasXkb = false;
    uint8_t m_xkbEventBase = 0;
    int32_t m_xkbDevice = -1;
    xkb_context *m_xkbContext = nullptr;
    xkb_keymap *m_keymap = nullptr;
    bool m_keymapStale = false;
    std::array<xkb_keycode_t, 128> m_keycodes{};
    xkb_keycode_t m_level3Keycode = XKB_KEYCODE_INVALID;
    xkb_mod_mask_t m_shiftMask = 0;
    xkb_mod_mask_t m_level3Mask = 0;
    xkb_layout_index_t m_group = 0;
    quint64 m_layoutId = 0;

    int m_scrollQuantum = 10;
    qint64 m_scrollVertical = 0;
    qint64 m_scrollHorizontal = 0;
};

X11Input::X11Input(const InputBackendOptions &options)
    : m_scrollQuantum(std::max(1, options.scrollPixelsPerClick))
{
    m_keycodes.fill(XKB_KEYCODE_INVALID);
    int screenNumber = 0;
    const QByteArray name = options.displayName;
    m_connection = openXcbConnection(name, &screenNumber);
    if (!m_connection) {
        qWarning("remote input: cannot open the X display; input is not injected");
        return;
    }
    xcb_screen_t *screen = xcbScreenOf(m_connection, screenNumber);
    if (!screen) {
        qWarning("remote input: the X display has no such screen");
        return;
    }
    m_root = screen->root;
    m_rootBounds = QRectF(0, 0, screen->width_in_pixels, screen->height_in_pixels);
    const xcb_setup_t *setup = xcb_get_setup(m_connection);
    m_minKeycode = setup->min_keycode;
    m_maxKeycode = setup->max_keycode;
    m_opened = true;

    const xcb_query_extension_reply_t *xtest = xcb_get_extension_data(m_connection, &xcb_test_id);
    m_hasXTest = xtest && xtest->present;

    const xcb_query_extension_reply_t *randr = xcb_get_extension_data(m_connection, &xcb_randr_id);
    if (randr && randr->present) {
        Reply<xcb_randr_query_version_reply_t> version(xcb_randr_query_version_reply(
            m_connection, xcb_randr_query_version(m_connection, 1, 5), nullptr));
        m_hasMonitors = version
            && (version->major_version > 1 || (version->major_version == 1 && version->minor_version >= 5));
    }

    setUpKeyboard();
}

X11Input::~X11Input()
{
    if (m_keymap)
        xkb_keymap_unref(m_keymap);
    if (m_xkbContext)
        xkb_context_unref(m_xkbContext);
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool X11Input::connected()
{
    if (!m_opened)
        return false;
    if (xcb_connection_has_error(m_connection)) {
        if (!m_reportedLoss) {
            qWarning("remote input: the connection to the X display was lost");
            m_reportedLoss = true;
        }
        return false;
    }
    return true;
}

bool X11Input::canInject()
{
    if (!connected())
        return false;
    if (!m_hasXTest) {
        if (!m_reportedNoXTest) {
            qWarning("remote input: the X server lacks the XTEST extension; input is not injected");
            m_reportedNoXTest = true;
        }
        return false;
    }
    return true;
}

void X11Input::fakeInput(uint8_t type, uint8_t detail, int16_t x, int16_t y)
{
    const xcb_window_t window = type == XCB_MOTION_NOTIFY ? m_root : XCB_NONE;
    xcb_test_fake_input(m_connection, type, detail, XCB_CURRENT_TIME, window, x, y, 0);
}

void X11Input::flushAndDrain()
{
    xcb_flush(m_connection);
    drainEvents();
}

void X11Input::drainEvents()
{
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        handleEvent(event);
        std::free(event);
    }
}

void X11Input::handleEvent(xcb_generic_event_t *event)
{
    const uint8_t type = event->response_type & 0x7f;
    if (type == 0) {
        // The error of a request sent without waiting for its reply.
        const auto *error = reinterpret_cast<const xcb_generic_error_t *>(event);
        qWarning("remote input: X error %u on request %u.%u ignored", unsigned(error->error_code),
                 unsigned(error->major_code), unsigned(error->minor_code));
        return;
    }
    if (type == XCB_MAPPING_NOTIFY) {
        m_keymapStale = true;
        return;
    }
    if (m_hasXkb && type == m_xkbEventBase) {
        const uint8_t xkbType = reinterpret_cast<const uint8_t *>(event)[1];
        if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY)
            m_keymapStale = true;
    }
}

void X11Input::setUpKeyboard()
{
    uint8_t eventBase = 0;
    if (!xkb_x11_setup_xkb_extension(m_connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &eventBase,
                                     nullptr)) {
        qWarning("remote input: the X server lacks XKB; characters cannot be typed");
        return;
    }
    m_xkbDevice = xkb_x11_get_core_keyboard_device_id(m_connection);
    m_xkbContext = xkb_context_new(
        static_cast<xkb_context_flags>(XKB_CONTEXT_NO_DEFAULT_INCLUDES | XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (m_xkbDevice < 0 || !m_xkbContext)
        return;
    m_hasXkb = true;
    m_xkbEventBase = eventBase;

    // Learn of keymap changes; the active group is asked for when needed.
    const uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
    const uint16_t mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS
        | XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS | XCB_XKB_MAP_PART_KEY_ACTIONS
        | XCB_XKB_MAP_PART_KEY_BEHAVIORS | XCB_XKB_MAP_PART_VIRTUAL_MODS | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    xcb_xkb_select_events_details_t details{};
    details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
    xcb_xkb_select_events_aux(m_connection, static_cast<xcb_xkb_device_spec_t>(m_xkbDevice), events, 0, 0,
                              mapParts, mapParts, &details);
    xcb_flush(m_connection);
    loadKeymap();
}

void X11Input::loadKeymap()
{
    m_keymapStale = false;
    xkb_keymap *keymap =
        xkb_x11_keymap_new_from_device(m_xkbContext, m_connection, m_xkbDevice, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        qWarning("remote input: the keymap of the X server cannot be read");
        return;
    }
    if (m_keymap)
        xkb_keymap_unref(m_keymap);
    m_keymap = keymap;
    ++m_layoutId;

    const auto injectable = [this](xkb_keycode_t code) {
        return code != XKB_KEYCODE_INVALID && code >= m_minKeycode && code <= m_maxKeycode;
    };
    for (quint16 key = 0; key < m_keycodes.size(); ++key) {
        const char *name = xkbKeyNameForMacKeyCode(key);
        const xkb_keycode_t code = name ? xkb_keymap_key_by_name(m_keymap, name) : XKB_KEYCODE_INVALID;
        m_keycodes[key] = injectable(code) ? code : XKB_KEYCODE_INVALID;
    }

    const xkb_mod_index_t shift = xkb_keymap_mod_get_index(m_keymap, XKB_MOD_NAME_SHIFT);
    m_shiftMask = shift == XKB_MOD_INVALID ? 0 : (1u << shift);

    // The option states of the layout tables are the third shift level,
    // reached with whichever key carries ISO_Level3_Shift.
    m_level3Keycode = XKB_KEYCODE_INVALID;
    m_level3Mask = 0;
    for (xkb_keycode_t code = xkb_keymap_min_keycode(m_keymap); code <= xkb_keymap_max_keycode(m_keymap); ++code) {
        if (!injectable(code))
            continue;
        const xkb_keysym_t *syms = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(m_keymap, code, 0, 0, &syms);
        if (count == 1 && syms[0] == XKB_KEY_ISO_Level3_Shift) {
            m_level3Keycode = code;
            break;
        }
    }
    if (m_level3Keycode != XKB_KEYCODE_INVALID) {
        xkb_state *state = xkb_state_new(m_keymap);
        if (state) {
            xkb_state_update_key(state, m_level3Keycode, XKB_KEY_DOWN);
            m_level3Mask = xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED);
            xkb_state_unref(state);
        }
        if (!m_level3Mask)
            m_level3Keycode = XKB_KEYCODE_INVALID;
    }
}

void X11Input::refreshKeymapIfStale()
{
    drainEvents();
    if (m_keymapStale && m_hasXkb)
        loadKeymap();
}

xkb_keycode_t X11Input::keycodeFor(quint16 keyCode) const
{
    return keyCode < m_keycodes.size() ? m_keycodes[keyCode] : XKB_KEYCODE_INVALID;
}

bool X11Input::isTrusted()
{
    return connected();
}

QPointF X11Input::pointerLocation()
{
    if (!connected())
        return {};
    Reply<xcb_query_pointer_reply_t> reply(
        xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr));
    if (!reply)
        return {};
    return QPointF(reply->root_x, reply->root_y);
}

QList<QRectF> X11Input::displayBounds()
{
    QList<QRectF> displays;
    if (!connected())
        return displays;
    if (m_hasMonitors) {
        Reply<xcb_randr_get_monitors_reply_t> reply(
            xcb_randr_get_monitors_reply(m_connection, xcb_randr_get_monitors(m_connection, m_root, 1), nullptr));
        if (reply) {
            // The primary monitor leads the list, as the main display does.
            for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
                 xcb_randr_monitor_info_next(&it)) {
                const QRectF bounds(it.data->x, it.data->y, it.data->width, it.data->height);
                if (bounds.isEmpty())
                    continue;
                if (it.data->primary)
                    displays.prepend(bounds);
                else
                    displays.append(bounds);
            }
        }
    }
    if (displays.isEmpty())
        displays.append(m_rootBounds);
    return displays;
}

QRectF X11Input::mainDisplayBounds()
{
    const QList<QRectF> displays = displayBounds();
    return displays.isEmpty() ? QRectF() : displays.first();
}

void X11Input::movePointer(QPointF to, PointerMotion)
{
    // The server turns a move into a drag by itself while a button is down.
    if (!canInject())
        return;
    fakeInput(XCB_MOTION_NOTIFY, 0, toProtocolCoordinate(to.x()), toProtocolCoordinate(to.y()));
    flushAndDrain();
}

void X11Input::postButton(MouseButton button, bool down, QPointF, int)
{
    // X derives double clicks from timing; the count has nowhere to go.
    if (!canInject())
        return;
    const uint8_t detail = button == MouseButton::Left ? kButtonLeft
        : button == MouseButton::Right                  ? kButtonRight
                                                        : kButtonMiddle;
    fakeInput(down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, detail);
    flushAndDrain();
}

void X11Input::wheel(qint64 &accumulated, qint32 amount, uint8_t positive, uint8_t negative)
{
    accumulated += amount;
    qint64 clicks = accumulated / m_scrollQuantum;
    accumulated -= clicks * m_scrollQuantum;
    if (clicks > kMaxClicksPerScroll || clicks < -kMaxClicksPerScroll) {
        clicks = clicks > 0 ? kMaxClicksPerScroll : -kMaxClicksPerScroll;
        accumulated = 0;
    }
    const uint8_t button = clicks > 0 ? positive : negative;
    for (qint64 i = 0; i < std::abs(clicks); ++i) {
        fakeInput(XCB_BUTTON_PRESS, button);
        fakeInput(XCB_BUTTON_RELEASE, button);
    }
}

void X11Input::postScroll(qint32 vertical, qint32 horizontal)
{
    if (!canInject())
        return;
    wheel(m_scrollVertical, vertical, kWheelUp, kWheelDown);
    wheel(m_scrollHorizontal, horizontal, kWheelLeft, kWheelRight);
    flushAndDrain();
}

bool X11Input::postKey(quint16 keyCode, bool down, quint32 modifiers)
{
    if (!canInject() || !m_keymap)
        return false;
    refreshKeymapIfStale();
    const xkb_keycode_t code = keycodeFor(keyCode);
    if (code == XKB_KEYCODE_INVALID)
        return false;
    const xkb_keycode_t shift = (modifiers & KeyModifier::Shift) ? keycodeFor(kMacShiftKey) : XKB_KEYCODE_INVALID;
    const xkb_keycode_t level3 = (modifiers & KeyModifier::Option) ? m_level3Keycode : XKB_KEYCODE_INVALID;
    if (down) {
        if (shift != XKB_KEYCODE_INVALID)
            fakeInput(XCB_KEY_PRESS, static_cast<uint8_t>(shift));
        if (level3 != XKB_KEYCODE_INVALID)
            fakeInput(XCB_KEY_PRESS, static_cast<uint8_t>(level3));
        fakeInput(XCB_KEY_PRESS, static_cast<uint8_t>(code));
    } else {
        fakeInput(XCB_KEY_RELEASE, static_cast<uint8_t>(code));
        if (level3 != XKB_KEYCODE_INVALID)
            fakeInput(XCB_KEY_RELEASE, static_cast<uint8_t>(level3));
        if (shift != XKB_KEYCODE_INVALID)
            fakeInput(XCB_KEY_RELEASE, static_cast<uint8_t>(shift));
    }
    flushAndDrain();
    return true;
}

void X11Input::beep()
{
    if (!connected())
        return;
    xcb_bell(m_connection, 0);
    flushAndDrain();
}

quint64 X11Input::currentLayout()
{
    if (!connected() || !m_hasXkb)
        return 0;
    // The reply also guarantees that every keymap event sent before it is in.
    Reply<xcb_xkb_get_state_reply_t> state(xcb_xkb_get_state_reply(
        m_connection, xcb_xkb_get_state(m_connection, static_cast<xcb_xkb_device_spec_t>(m_xkbDevice)), nullptr));
    refreshKeymapIfStale();
    if (!m_keymap)
        return 0;
    if (state && state->group != m_group) {
        m_group = state->group;
        ++m_layoutId;
    }
    return m_layoutId;
}

QString X11Input::translateKey(quint16 keyCode, quint32 modifiers)
{
    if (!m_keymap)
        return {};
    const xkb_keycode_t code = keycodeFor(keyCode);
    if (code == XKB_KEYCODE_INVALID)
        return {};
    xkb_mod_mask_t mask = 0;
    if (modifiers & KeyModifier::Shift)
        mask |= m_shiftMask;
    if (modifiers & KeyModifier::Option) {
        if (!m_level3Mask)
            return {};
        mask |= m_level3Mask;
    }
    xkb_state *state = xkb_state_new(m_keymap);
    if (!state)
        return {};
    xkb_state_update_mask(state, mask, 0, 0, 0, 0, m_group);
    const char32_t unit = xkb_state_key_get_utf32(state, code);
    xkb_state_unref(state);
    return unit ? QString::fromUcs4(&unit, 1) : QString();
}

} // namespace

InputBackend makeInputBackend(const InputBackendOptions &options)
{
    auto input = std::make_shared<X11Input>(options);
    return {input, input};
}

} // namespace Platform::Linux
