// The key table: the keys the viewer acts on reach it from every input (SDL,
// the page, scripts), and the page's copy of the table says the same.
#include "common/keys.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>
#include <string>

#include "platform/web/modules/keys_module.h"

namespace orbex::test {
namespace {

// The keys of the window procedure's key table, with their codes and the
// names scripts give them.
struct ViewerKey {
    const char *scriptName;
    UINT code;
    const char *domCode;
};
constexpr ViewerKey VIEWER_KEYS[] = {
    {"Space", 0x20, "Space"},    {"PageUp", 0x21, "PageUp"}, {"PageDown", 0x22, "PageDown"},
    {"End", 0x23, "End"},        {"Home", 0x24, "Home"},     {"Up", 0x26, "ArrowUp"},
    {"Down", 0x28, "ArrowDown"}, {"Num2", 0x62, "Numpad2"},  {"Num4", 0x64, "Numpad4"},
    {"Num6", 0x66, "Numpad6"},   {"Num8", 0x68, "Numpad8"},  {"F1", 0x70, "F1"},
    {"F2", 0x71, "F2"},          {"F5", 0x74, "F5"},         {"F9", 0x78, "F9"},
    {"F12", 0x7B, "F12"},
};

const Key *rowOf(const char *domCode) {
    for (const Key &key : KEYS)
        if (std::strcmp(key.domCode, domCode) == 0)
            return &key;
    return nullptr;
}

TEST(KeyTable, EveryKeyTheViewerActsOnHasItsCodeInScriptsAndThePage) {
    for (const ViewerKey &k : VIEWER_KEYS) {
        SCOPED_TRACE(k.scriptName);
        EXPECT_EQ(keyNamed(k.scriptName), k.code);
        const Key *row = rowOf(k.domCode);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->code, k.code);
    }
    EXPECT_EQ(VK_SPACE, 0x20u);
    EXPECT_EQ(VK_NUMPAD8, 0x68u);
    EXPECT_EQ(VK_F12, 0x7Bu);
    EXPECT_EQ(keyNamed("F10"), 0u);
    EXPECT_EQ(keyNamed("space"), 0u);
    EXPECT_EQ(keyNamed(""), 0u);
}

TEST(KeyTable, NamesAreUniqueAndStandInsAreLettersTheViewerIgnores) {
    std::set<std::string> domCodes, scriptNames, standIns;
    std::set<UINT> acted;
    for (const ViewerKey &k : VIEWER_KEYS)
        acted.insert(k.code);
    for (const Key &key : KEYS) {
        SCOPED_TRACE(key.domCode);
        if (*key.domCode != 0) {
            EXPECT_TRUE(domCodes.insert(key.domCode).second);
        }
        if (*key.scriptName != 0) {
            EXPECT_TRUE(scriptNames.insert(key.scriptName).second);
        }
        if (*key.standIn == 0)
            continue;
        EXPECT_TRUE(standIns.insert(key.standIn).second);
        // A letter's own key, which the viewer does nothing with.
        const Key *letter = rowOf(key.standIn);
        ASSERT_NE(letter, nullptr) << key.standIn;
        EXPECT_EQ(std::string(key.standIn).rfind("Key", 0), 0u);
        EXPECT_EQ(acted.count(letter->code), 0u);
        EXPECT_EQ(acted.count(key.code), 1u) << "a stand-in for a key the viewer ignores";
    }
    // The left Alt key is Windows' own: no backend knows a code for it.
    EXPECT_EQ(domCodes.count("AltLeft"), 0u);
}

// Windows keeps F10 and whatever comes with the left Alt key; Ctrl and the
// rest are no system keys, and the page's module carries the same answers.
TEST(KeyTable, OnlyF10AndTheLeftAltAreTheSystemsInEveryBackend) {
    EXPECT_FALSE(reachesViewer(VK_F10, false));
    EXPECT_FALSE(reachesViewer(0, false));
    for (const ViewerKey &k : VIEWER_KEYS) {
        SCOPED_TRACE(k.scriptName);
        EXPECT_TRUE(reachesViewer(k.code, false));
        EXPECT_FALSE(reachesViewer(k.code, true));
    }
    EXPECT_TRUE(reachesViewer(VK_CONTROL, false));
    EXPECT_TRUE(reachesViewer(VK_MENU, false));

    std::ostringstream out;
    web::writeKeysModule(out);
    const std::string module = out.str();
    auto line = [&](const std::string &start) {
        std::size_t at = module.find("\n" + start);
        return at == std::string::npos ? std::string() : module.substr(at + 1, module.find('\n', at + 1) - at - 1);
    };
    const std::string heard = line("const HEARD = new Set([");
    EXPECT_NE(heard.find(" 0x20,"), std::string::npos);
    EXPECT_NE(heard.find(" 0x70,"), std::string::npos);
    EXPECT_NE(heard.find(" 0x11,"), std::string::npos);
    EXPECT_EQ(heard.find("0x79"), std::string::npos);
    // Twin keys give their code once.
    EXPECT_EQ(heard.find("0x0d"), heard.rfind("0x0d"));
    EXPECT_EQ(line("const HEARD_WITH_LEFT_ALT = "), "const HEARD_WITH_LEFT_ALT = new Set([])");
    EXPECT_NE(module.find("export function reachesViewer(code, leftAltHeld) {"), std::string::npos);
}

TEST(KeyTable, ThePagesModuleCarriesTheTableAndTheMessageNumbers) {
    std::ostringstream out;
    web::writeKeysModule(out);
    const std::string module = out.str();
    auto section = [&](const std::string &name) {
        std::size_t start = module.find("export const " + name + " = ");
        std::size_t end = module.find("\n})", start);
        return start == std::string::npos || end == std::string::npos ? std::string()
                                                                      : module.substr(start, end - start);
    };
    const std::string wm = section("WM"), vk = section("VK"), standIns = section("STAND_INS");
    EXPECT_NE(wm.find("\n  KEYDOWN: 0x0100,"), std::string::npos);
    EXPECT_NE(wm.find("\n  SETCURSOR: 0x0020,"), std::string::npos);
    EXPECT_NE(wm.find("\n  ACTIVATEAPP: 0x001c,"), std::string::npos);
    EXPECT_NE(vk.find("\n  Numpad2: 0x62,"), std::string::npos);
    EXPECT_NE(vk.find("\n  NumpadEnter: 0x0d,"), std::string::npos);
    EXPECT_NE(vk.find("\n  KeyH: 0x48,"), std::string::npos);
    EXPECT_NE(vk.find("\n  F10: 0x79,"), std::string::npos);
    EXPECT_NE(standIns.find("\n  KeyH: 0x70,"), std::string::npos);
    EXPECT_NE(standIns.find("\n  KeyI: 0x68,"), std::string::npos);
    EXPECT_NE(module.find("export const BROWSER_KEEPS = new Set(['Tab', 'Escape', 'F11'])"), std::string::npos);
    for (const char *kept : web::BROWSER_KEEPS)
        EXPECT_NE(rowOf(kept), nullptr) << kept;
}

} // namespace
} // namespace orbex::test
