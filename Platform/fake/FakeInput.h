#pragma once

// Test doubles of the input injector and the keyboard layout. The injector
// records every event it is asked to post; both answer what the test sets.

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

#include "Platform/InputInjector.h"
#include "Platform/KeyboardLayout.h"

namespace Platform::Fake {

struct PostedInput {
    enum class Kind { Move, Button, Scroll, Key, Beep };
    Kind kind = Kind::Beep;
    QPointF point;                         // Move: target; Button: location
    PointerMotion motion = PointerMotion::Moved;
    MouseButton button = MouseButton::Left;
    bool down = false;                     // Button, Key
    int clickCount = 0;
    qint32 vertical = 0;                   // Scroll
    qint32 horizontal = 0;
    quint16 keyCode = 0;                   // Key
    quint32 modifiers = 0;
};

class FakeInputInjector final : public InputInjector {
public:
    bool isTrusted() override { return trusted; }
    QPointF pointerLocation() override { return pointer; }
    QList<QRectF> displayBounds() override { return displays; }
    QRectF mainDisplayBounds() override { return displays.isEmpty() ? QRectF() : displays.first(); }

    void movePointer(QPointF to, PointerMotion motion) override
    {
        PostedInput e;
        e.kind = PostedInput::Kind::Move;
        e.point = to;
        e.motion = motion;
        posted.append(e);
        if (movesFollowPointer)
            pointer = to;
    }
    void postButton(MouseButton button, bool down, QPointF at, int clickCount) override
    {
        PostedInput e;
        e.kind = PostedInput::Kind::Button;
        e.button = button;
        e.down = down;
        e.point = at;
        e.clickCount = clickCount;
        posted.append(e);
    }
    void postScroll(qint32 vertical, qint32 horizontal) override
    {
        PostedInput e;
        e.kind = PostedInput::Kind::Scroll;
        e.vertical = vertical;
        e.horizontal = horizontal;
        posted.append(e);
    }
    bool postKey(quint16 keyCode, bool down, quint32 modifiers) override
    {
        if (keyCode > maxKeyCode)
            return false;
        PostedInput e;
        e.kind = PostedInput::Kind::Key;
        e.keyCode = keyCode;
        e.down = down;
        e.modifiers = modifiers;
        posted.append(e);
        return true;
    }
    void beep() override
    {
        PostedInput e;
        e.kind = PostedInput::Kind::Beep;
        posted.append(e);
    }

    bool trusted = true;
    QPointF pointer{100, 100};
    // The main display first.
    QList<QRectF> displays{QRectF(0, 0, 1920, 1080)};
    bool movesFollowPointer = true;
    // Key codes above this have no key, as on a real keyboard.
    quint16 maxKeyCode = 127;
    QList<PostedInput> posted;
};

// A layout given as text per (key code, modifier state).
class FakeKeyboardLayout final : public KeyboardLayout {
public:
    quint64 currentLayout() override
    {
        ++layoutQueries;
        return layoutId;
    }
    QString translateKey(quint16 keyCode, quint32 modifiers) override
    {
        ++translations;
        return keys.value(qMakePair(keyCode, modifiers));
    }

    void set(quint16 keyCode, quint32 modifiers, const QString &text) { keys.insert(qMakePair(keyCode, modifiers), text); }

    // A few keys of the U.S. layout.
    static FakeKeyboardLayout usSubset()
    {
        FakeKeyboardLayout layout;
        layout.set(0, KeyModifier::None, QStringLiteral("a"));
        layout.set(0, KeyModifier::Shift, QStringLiteral("A"));
        layout.set(0, KeyModifier::Option, QStringLiteral("\u00e5"));
        layout.set(0, KeyModifier::Shift | KeyModifier::Option, QStringLiteral("\u00c5"));
        layout.set(18, KeyModifier::None, QStringLiteral("1"));
        layout.set(18, KeyModifier::Shift, QStringLiteral("!"));
        layout.set(36, KeyModifier::None, QStringLiteral("\r"));
        layout.set(49, KeyModifier::None, QStringLiteral(" "));
        layout.set(49, KeyModifier::Shift, QStringLiteral(" "));
        return layout;
    }

    quint64 layoutId = 1;
    QHash<QPair<quint16, quint32>, QString> keys;
    int layoutQueries = 0;
    int translations = 0;
};

} // namespace Platform::Fake
