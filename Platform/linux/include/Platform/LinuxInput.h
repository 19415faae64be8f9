#pragma once

#include <QByteArray>
#include <memory>

#include "Platform/InputInjector.h"
#include "Platform/KeyboardLayout.h"

namespace Platform::Linux {

struct InputBackendOptions {
    // X display to open; empty means the one DISPLAY names.
    QByteArray displayName;
    // Wheel amounts arrive in pixels; X scrolls in clicks.
    int scrollPixelsPerClick = 10;
};

// Both share one connection to the X server and its keymap.
struct InputBackend {
    std::shared_ptr<InputInjector> injector;
    std::shared_ptr<KeyboardLayout> keyboardLayout;
};

// Never fails: without a display the injector reports itself untrusted,
// posts nothing and the layout is empty.
InputBackend makeInputBackend(const InputBackendOptions &options = {});

} // namespace Platform::Linux
