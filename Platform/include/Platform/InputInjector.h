#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QtGlobal>

#include "PlatformExport.h"

namespace Platform {

enum class MouseButton { Left, Right, Other };

// How a pointer move is posted: a plain move, or a drag with that button held.
enum class PointerMotion { Moved, LeftDragged, RightDragged, OtherDragged };

// Modifier states of a key event, in the encoding of the layout tables.
namespace KeyModifier {
constexpr quint32 None = 0;
constexpr quint32 Shift = 0x200;
constexpr quint32 Option = 0x800;
} // namespace KeyModifier

// Posts mouse, wheel and keyboard events into the user's session as if they
// came from the local devices. Coordinates are global: the origin is the
// top-left corner of the screen space and y grows downwards. Key codes are
// the system's virtual key codes (0 = "A" of the ANSI layout, 36 = Return ...).
class PLATFORM_EXPORT InputInjector {
public:
    virtual ~InputInjector() = default;

    // Whether posted events reach other applications.
    virtual bool isTrusted() = 0;

    virtual QPointF pointerLocation() = 0;
    // Bounds of every display; empty when none is known.
    virtual QList<QRectF> displayBounds() = 0;
    // Bounds of the main (primary) display; empty when none is known.
    virtual QRectF mainDisplayBounds() = 0;

    virtual void movePointer(QPointF to, PointerMotion motion) = 0;
    virtual void postButton(MouseButton button, bool down, QPointF at, int clickCount) = 0;
    // Pixel amounts; a positive vertical amount scrolls up, a positive
    // horizontal one scrolls left.
    virtual void postScroll(qint32 vertical, qint32 horizontal) = 0;
    // Posts a key with the given modifiers held around it. False, and
    // nothing posted, when the key code has no key here.
    virtual bool postKey(quint16 keyCode, bool down, quint32 modifiers) = 0;
    virtual void beep() = 0;
};

} // namespace Platform
