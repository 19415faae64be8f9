#include "MacKeyNames.h"

#include <array>

namespace Platform::Linux {

namespace {

// Indexed by virtual key code. Command is the key beside the space bar
// (Super), Option is Alt; the ISO section key is the extra key of ISO
// keyboards beside the left Shift and the grave key the one left of 1, as
// their USB usages place them.
constexpr std::array<const char *, 128> kKeyNames = {
    "AC01", "AC02", "AC03", "AC04", "AC06", "AC05", "AB01", "AB02", //   0 A S D F H G Z X
    "AB03", "AB04", "LSGT", "AB05", "AD01", "AD02", "AD03", "AD04", //   8 C V § B Q W E R
    "AD06", "AD05", "AE01", "AE02", "AE03", "AE04", "AE06", "AE05", //  16 Y T 1 2 3 4 6 5
    "AE12", "AE09", "AE07", "AE11", "AE08", "AE10", "AD12", "AD09", //  24 = 9 7 - 8 0 ] O
    "AD07", "AD11", "AD08", "AD10", "RTRN", "AC09", "AC07", "AC11", //  32 U [ I P Return L J '
    "AC08", "AC10", "BKSL", "AB08", "AB10", "AB06", "AB07", "AB09", //  40 K ; \ , / N M .
    "TAB",  "SPCE", "TLDE", "BKSP", "RTRN", "ESC",  "RWIN", "LWIN", //  48 Tab Space ` Delete Enter Esc RCmd Cmd
    "LFSH", "CAPS", "LALT", "LCTL", "RTSH", "RALT", "RCTL", nullptr, // 56 Shift Caps Opt Ctrl RShift ROpt RCtrl Fn
    "FK17", "KPDL", nullptr, "KPMU", nullptr, "KPAD", nullptr, "NMLK", // 64 F17 KP. - KP* - KP+ - Clear
    "VOL+", "VOL-", "MUTE", "KPDV", "KPEN", nullptr, "KPSU", "FK18", //  72 VolUp VolDown Mute KP/ KPEnter - KP- F18
    "FK19", "KPEQ", "KP0",  "KP1",  "KP2",  "KP3",  "KP4",  "KP5",  //  80 F19 KP= KP0..KP5
    "KP6",  "KP7",  "FK20", "KP8",  "KP9",  "AE13", "AB11", "JPCM", //  88 KP6 KP7 F20 KP8 KP9 Yen Ro KP,
    "FK05", "FK06", "FK07", "FK03", "FK08", "FK09", "MUHE", "FK11", //  96 F5 F6 F7 F3 F8 F9 Eisu F11
    "HENK", "FK13", "FK16", "FK14", nullptr, "FK10", "COMP", "FK12", // 104 Kana F13 F16 F14 - F10 Menu F12
    nullptr, "FK15", "INS",  "HOME", "PGUP", "DELE", "FK04", "END", // 112 - F15 Help Home PgUp FwdDel F4 End
    "FK02", "PGDN", "FK01", "LEFT", "RGHT", "DOWN", "UP",   nullptr, // 120 F2 PgDn F1 Left Right Down Up -
};

} // namespace

const char *xkbKeyNameForMacKeyCode(quint16 keyCode)
{
    return keyCode < kKeyNames.size() ? kKeyNames[keyCode] : nullptr;
}

} // namespace Platform::Linux
