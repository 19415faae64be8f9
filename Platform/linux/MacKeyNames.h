#pragma once

#include <QtGlobal>

namespace Platform::Linux {

// The XKB key name (as in the keymap's keycodes section) at the position of
// a Mac virtual key, or nullptr when that key has no counterpart here.
// Positions, not symbols: the user's layout decides what a key types.
const char *xkbKeyNameForMacKeyCode(quint16 keyCode);

} // namespace Platform::Linux
