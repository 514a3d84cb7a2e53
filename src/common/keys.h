// The keys as the window system names them (VK_SPACE, VK_F12, ...) and the
// key table of common/keys.def as every layer but the SDL backend reads it
// (that one takes its own column from the same file).
#pragma once

#include <string_view>

#include "common/win32.h"

namespace orbex {

#define ORBEX_KEY(name, code, sdlKey, domCode, scriptName, standIn) constexpr UINT VK_##name = code;
#define ORBEX_KEY_ALSO(name, sdlKey, domCode)
#include "common/keys.def"
#undef ORBEX_KEY
#undef ORBEX_KEY_ALSO

// One row of the table; texts are "" where the key has none.
struct Key {
    UINT code;
    // KeyboardEvent.code in the browser.
    const char *domCode;
    // The name in scripts.
    const char *scriptName;
    // The DOM code of the letter the page takes for this key.
    const char *standIn;
};

constexpr Key KEYS[] = {
#define ORBEX_KEY(name, code, sdlKey, domCode, scriptName, standIn) {code, domCode, scriptName, standIn},
#define ORBEX_KEY_ALSO(name, sdlKey, domCode) {VK_##name, domCode, "", ""},
#include "common/keys.def"
#undef ORBEX_KEY
#undef ORBEX_KEY_ALSO
};

// Windows keeps F10 and every key pressed with the left Alt key for itself
// (system keys), so the viewer never hears them; with Ctrl, Shift, the right
// Alt (AltGr on many keyboards) or the Windows key a key reaches it as
// itself. Every backend asks this of each key press after taking its own
// keys (Alt+Enter, Print Screen), which are no keys of the table.
constexpr bool reachesViewer(UINT code, bool leftAltHeld) { return code != 0 && code != VK_F10 && !leftAltHeld; }

// Called by the script reader: the code of a key name, 0 for none.
constexpr UINT keyNamed(std::string_view scriptName) {
    for (const Key &key : KEYS)
        if (*key.scriptName != 0 && scriptName == key.scriptName)
            return key.code;
    return 0;
}

} // namespace orbex
