// The page's copy of the key codes and window messages: keys.mjs, an ES
// module written from src/common/keys.def and src/common/win32.h, so that
// the page, the SDL backend, scripts and the window procedure read one table.
// Written by the browser build (page_modules.cpp, under Node); the tests read it
// in-process.
#pragma once

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <ostream>
#include <string>

#include "common/keys.h"
#include "common/win32.h"

namespace orbex::web {

// Keys the page posts but whose own use the browser keeps (focus, full
// screen): no preventDefault for them.
constexpr const char *BROWSER_KEEPS[] = {"Tab", "Escape", "F11"};

inline std::string hexCode(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*x", digits, value);
    return text;
}

// The codes of the table's keys that reachesViewer lets through, with the
// left Alt key held or not, as a JavaScript Set. The page gets the rule's
// answers rather than a copy of the rule, so the two cannot drift apart.
inline void writeHeard(std::ostream &out, const char *name, bool leftAltHeld) {
    out << "const " << name << " = new Set([";
    const char *separator = "";
    for (std::size_t i = 0; i < std::size(KEYS); ++i) {
        const UINT code = KEYS[i].code;
        const bool twin = std::any_of(KEYS, KEYS + i, [&](const Key &key) { return key.code == code; });
        if (twin || !reachesViewer(code, leftAltHeld))
            continue;
        out << separator << hexCode(code, 2);
        separator = ", ";
    }
    out << "])\n";
}

inline void writeRule(std::ostream &out) {
    out << "// The codes the viewer hears, alone and with the left Alt key held: Windows\n"
           "// keeps F10 and every key pressed with the left Alt key as system keys; Ctrl,\n"
           "// Shift, the right Alt and the Windows key pass (reachesViewer, keys.h).\n";
    writeHeard(out, "HEARD", false);
    writeHeard(out, "HEARD_WITH_LEFT_ALT", true);
    out << "\nexport function reachesViewer(code, leftAltHeld) {\n"
           "  return (leftAltHeld ? HEARD_WITH_LEFT_ALT : HEARD).has(code)\n"
           "}\n";
}

inline void writeKeysModule(std::ostream &out) {
    out << "// The viewer's window messages and key codes, for the page. Written by the\n"
           "// build (src/platform/web/modules/keys_module.h) from src/common/win32.h and\n"
           "// src/common/keys.def: change those, not this file.\n\n";

    out << "// Window messages by name, with Windows' numbers (WM.KEYDOWN).\n"
           "export const WM = Object.freeze({\n";
#define ORBEX_WRITE_MESSAGE(name, number) out << "  " #name ": " << hexCode(number, 4) << ",\n";
    ORBEX_WINDOW_MESSAGES(ORBEX_WRITE_MESSAGE)
#undef ORBEX_WRITE_MESSAGE
    out << "})\n\n";

    out << "// Windows virtual-key codes by physical key (KeyboardEvent.code). The keypad\n"
           "// gives its digits whatever Num Lock says.\n"
           "export const VK = Object.freeze({\n";
    for (const Key &key : KEYS)
        if (*key.domCode != 0)
            out << "  " << key.domCode << ": " << hexCode(key.code, 2) << ",\n";
    out << "})\n\n";

    out << "// Letters the viewer ignores stand in for keys a browser or keyboard may\n"
           "// keep (F-keys on laptops, F5 and F12 in some browsers, the keypad).\n"
           "export const STAND_INS = Object.freeze({\n";
    for (const Key &key : KEYS)
        if (*key.standIn != 0)
            out << "  " << key.standIn << ": " << hexCode(key.code, 2) << ",\n";
    out << "})\n\n";

    out << "// Posted, but the browser keeps its own use of them.\n"
           "export const BROWSER_KEEPS = new Set([";
    const char *separator = "";
    for (const char *code : BROWSER_KEEPS) {
        out << separator << "'" << code << "'";
        separator = ", ";
    }
    out << "])\n\n";

    writeRule(out);
}

} // namespace orbex::web
