// The headless backend's window, screen and input: a window nobody sees,
// frames kept in memory, input from a script, message boxes on standard error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/geometry.h"
#include "platform/backend.h"
#include "platform/bass.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/files.h"
#include "platform/headless/headless.h"
#include "platform/headless/sound.h"
#include "platform/png.h"

namespace orbex::headless {

namespace {

enum class Command { Frames, Key, Move, LeftDown, LeftUp, RightDown, Activate, Shot, Close };

struct ScriptLine {
    Command command;
    long a = 0;
    long b = 0;
    std::string file;
};

struct KeyName {
    const char *name;
    UINT code;
};

constexpr KeyName KEY_NAMES[] = {
    {"Space", VK_SPACE},  {"PageUp", VK_PRIOR}, {"PageDown", VK_NEXT}, {"Home", VK_HOME},
    {"End", VK_END},      {"Up", VK_UP},        {"Down", VK_DOWN},     {"Num2", VK_NUMPAD2},
    {"Num4", VK_NUMPAD4}, {"Num6", VK_NUMPAD6}, {"Num8", VK_NUMPAD8},  {"F1", VK_F1},
    {"F2", VK_F2},        {"F5", VK_F5},        {"F9", VK_F9},         {"F12", VK_F12},
};

// Far from zero, like a system that has been up for a while.
constexpr DWORD VIRTUAL_CLOCK_START = 5 * 3600 * 1000;

// What a test lets the screen offer.
struct ScreenSettings {
    std::vector<int> depths{16, 24};
    int desktopDepth = 16;
    DWORD red16 = 0xF800, green16 = 0x07E0, blue16 = 0x001F;
    int pitchPadding = 0;
};

struct BackendState {
    std::vector<ScriptLine> script;
    std::size_t nextLine = 0;
    long framesLeft = 0;
    bool closeSent = false;
    bool windowOpen = false;
    bool windowRefused = false;
    POINT cursor{0, 0};
    std::vector<std::string> boxes;
    ScreenSettings screen;
    Frame shown;
};

BackendState state;

bool parseNumber(const std::string &word, long *value) {
    if (word.empty())
        return false;
    char *end = nullptr;
    *value = std::strtol(word.c_str(), &end, 0);
    return end != nullptr && *end == 0;
}

bool parseKey(const std::string &word, long *code) {
    for (const auto &k : KEY_NAMES)
        if (word == k.name) {
            *code = static_cast<long>(k.code);
            return true;
        }
    return word.rfind("0x", 0) == 0 && parseNumber(word, code) && *code > 0 && *code < 256;
}

bool parseLine(const std::string &raw, ScriptLine *out, std::string *why) {
    std::istringstream in(raw);
    std::string word, arg1, arg2, extra;
    in >> word >> arg1 >> arg2 >> extra;
    auto want = [&](int n) {
        bool ok = (n >= 1) == !arg1.empty() && (n >= 2) == !arg2.empty() && extra.empty();
        if (!ok)
            *why = word + " takes " + std::to_string(n) + (n == 1 ? " argument" : " arguments");
        return ok;
    };
    if (word == "frames") {
        if (!want(1) || !parseNumber(arg1, &out->a) || out->a < 0)
            return (*why = why->empty() ? "frames needs a count" : *why), false;
        out->command = Command::Frames;
    } else if (word == "key") {
        if (!want(1) || !parseKey(arg1, &out->a))
            return (*why = why->empty() ? "unknown key " + arg1 : *why), false;
        out->command = Command::Key;
    } else if (word == "move") {
        if (!want(2) || !parseNumber(arg1, &out->a) || !parseNumber(arg2, &out->b))
            return (*why = why->empty() ? "move needs X and Y" : *why), false;
        out->command = Command::Move;
    } else if (word == "ldown" || word == "lup" || word == "rdown" || word == "close") {
        if (!want(0))
            return false;
        out->command = word == "ldown"   ? Command::LeftDown
                       : word == "lup"   ? Command::LeftUp
                       : word == "rdown" ? Command::RightDown
                                         : Command::Close;
    } else if (word == "activate") {
        if (!want(1) || (arg1 != "0" && arg1 != "1"))
            return (*why = why->empty() ? "activate takes 0 or 1" : *why), false;
        out->command = Command::Activate;
        out->a = arg1 == "1" ? 1 : 0;
    } else if (word == "shot") {
        if (!want(1))
            return false;
        out->command = Command::Shot;
        out->file = arg1;
    } else {
        *why = "unknown command " + word;
        return false;
    }
    return true;
}

void writeLastShot(const std::string &file) {
    if (!writeShot(file))
        std::fprintf(stderr, "orbex: cannot write %s\n", file.c_str());
}

class HeadlessVideo final : public VideoBackend {
  public:
    int screenWidth() override { return SCREENWIDTH; }
    int screenHeight() override { return SCREENHEIGHT; }
    bool openWindow(const char *, int, int) override {
        if (state.windowRefused) {
            state.windowRefused = false;
            return false;
        }
        state.windowOpen = true;
        return true;
    }
    void showWindow() override {}
    void closeWindow() override { state.windowOpen = false; }

    // One script command per look for a message, as a user's actions come
    // one at a time; "frames N" lets the loop find the queue empty N times.
    void pumpEvents(bool) override {
        while (true) {
            if (state.framesLeft > 0) {
                --state.framesLeft;
                return;
            }
            if (state.nextLine >= state.script.size()) {
                if (!state.closeSent && state.windowOpen) {
                    state.closeSent = true;
                    postInputMessage(WM_CLOSE, 0, 0);
                }
                return;
            }
            const ScriptLine &line = state.script[state.nextLine++];
            switch (line.command) {
            case Command::Frames:
                state.framesLeft = line.a;
                continue;
            case Command::Shot:
                writeLastShot(line.file);
                continue;
            case Command::Key:
                postInputMessage(WM_KEYDOWN, static_cast<WPARAM>(line.a), 1);
                return;
            case Command::Move:
                state.cursor = POINT{static_cast<LONG>(line.a), static_cast<LONG>(line.b)};
                postInputMessage(WM_SETCURSOR, 0, static_cast<LPARAM>(WM_MOUSEMOVE) << 16 | 1);
                return;
            case Command::LeftDown:
                postInputMessage(WM_LBUTTONDOWN, 1, 0);
                return;
            case Command::LeftUp:
                postInputMessage(WM_LBUTTONUP, 0, 0);
                return;
            case Command::RightDown:
                postInputMessage(WM_RBUTTONDOWN, 2, 0);
                return;
            case Command::Activate:
                postInputMessage(WM_ACTIVATEAPP, static_cast<WPARAM>(line.a), 0);
                return;
            case Command::Close:
                postInputMessage(WM_CLOSE, 0, 0);
                return;
            }
        }
    }

    bool cursorPos(POINT *point) override {
        *point = state.cursor;
        return true;
    }
    void hideSystemCursor() override {}
    void messageBox(const char *text, const char *caption) override {
        state.boxes.emplace_back(text);
        std::fprintf(stderr, "%s: %s\n", cp1252ToUtf8(caption).c_str(), cp1252ToUtf8(text).c_str());
    }

    void desktopMode(DWORD *width, DWORD *height, int *depth) override {
        *width = SCREENWIDTH;
        *height = SCREENHEIGHT;
        *depth = state.screen.desktopDepth;
    }
    bool offersMode(DWORD width, DWORD height, int depth) override {
        bool offered = false;
        for (int d : state.screen.depths)
            offered = offered || d == depth;
        return offered && width == SCREENWIDTH && height == SCREENHEIGHT;
    }
    void masks16(DWORD *red, DWORD *green, DWORD *blue) override {
        *red = state.screen.red16, *green = state.screen.green16, *blue = state.screen.blue16;
    }
    int pitchPadding() override { return state.screen.pitchPadding; }
    bool openFrames(int, int, int) override { return true; }

    // The frame is kept for shots, also after the display objects are gone;
    // time passes for the clock and the music.
    void presentFrame(const FrameView &frame) override {
        Frame &shown = state.shown;
        shown.pixels.assign(frame.pixels, frame.pixels + static_cast<std::ptrdiff_t>(frame.pitch) * frame.height);
        shown.width = frame.width;
        shown.height = frame.height;
        shown.depth = frame.depth;
        shown.pitch = frame.pitch;
        shown.redMask = frame.redMask, shown.greenMask = frame.greenMask, shown.blueMask = frame.blueMask;
        if (virtualClockInUse()) {
            advanceVirtualClock(virtualClockStep());
            advanceSound(virtualClockStep());
        }
    }
};

HeadlessVideo video;

// A clock or script that cannot be used stops the run before it starts: a
// run without them would end with success having done something else.
bool readEnvironment() {
    if (const char *clock = std::getenv("ORBEX_CLOCK")) {
        std::string value = clock;
        long step = 0;
        if (value.rfind("step:", 0) != 0 || !parseNumber(value.substr(5), &step) || step <= 0 || step > 0x7FFFFFFF) {
            std::fprintf(stderr, "orbex: ORBEX_CLOCK must be step:MS with MS above 0, not \"%s\"\n", clock);
            return false;
        }
        useVirtualClock(VIRTUAL_CLOCK_START, static_cast<DWORD>(step));
    }
    if (const char *path = std::getenv("ORBEX_SCRIPT")) {
        UniqueFile file(std::fopen(path, "rb"));
        if (file == nullptr) {
            std::fprintf(stderr, "orbex: cannot read script %s\n", path);
            return false;
        }
        std::string text;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;)
            text.append(buffer, n);
        if (std::ferror(file.get()) != 0) {
            std::fprintf(stderr, "orbex: cannot read script %s\n", path);
            return false;
        }
        std::string error;
        if (!loadScriptText(text, &error)) {
            std::fprintf(stderr, "orbex: %s: %s\n", path, error.c_str());
            return false;
        }
    }
    return true;
}

} // namespace

bool loadScriptText(const std::string &text, std::string *error) {
    std::vector<ScriptLine> lines;
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        if (auto hash = raw.find('#'); hash != std::string::npos)
            raw.erase(hash);
        if (raw.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        ScriptLine line{};
        std::string why;
        if (!parseLine(raw, &line, &why)) {
            if (error != nullptr)
                *error = "line " + std::to_string(number) + ": " + (why.empty() ? "bad arguments" : why);
            return false;
        }
        lines.push_back(line);
    }
    state.script = std::move(lines);
    state.nextLine = 0;
    state.framesLeft = 0;
    state.closeSent = false;
    return true;
}

bool install(bool fromEnvironment) {
    setVideoBackend(&video);
    setSoundLibrary(installSound());
    return !fromEnvironment || readEnvironment();
}

void reset() {
    state = BackendState{};
    resetWindowSystem();
    resetDisplayLayer();
    resetSoundLayer();
    resetClock();
}

void offerDepths(const std::vector<int> &depths) { state.screen.depths = depths; }
void setDesktopDepth(int depth) { state.screen.desktopDepth = depth; }
void setMasks16(DWORD red, DWORD green, DWORD blue) {
    state.screen.red16 = red, state.screen.green16 = green, state.screen.blue16 = blue;
}
void setPitchPadding(int bytes) { state.screen.pitchPadding = bytes; }

const Frame &lastFrame() { return state.shown; }

std::vector<std::uint8_t> lastFrameRgb() {
    const Frame &f = state.shown;
    if (f.pixels.empty())
        return frameToRgb(FrameView{nullptr, SCREENWIDTH, SCREENHEIGHT, 0, 0, 0, 0, 0});
    return frameToRgb(
        FrameView{f.pixels.data(), f.width, f.height, f.pitch, f.depth, f.redMask, f.greenMask, f.blueMask});
}

bool writeShot(const std::string &path) {
    const Frame &f = state.shown;
    return writeRgbPng(path, lastFrameRgb(), f.pixels.empty() ? SCREENWIDTH : f.width,
                       f.pixels.empty() ? SCREENHEIGHT : f.height);
}

const std::vector<std::string> &messageBoxes() { return state.boxes; }

void failWindowCreation() { state.windowRefused = true; }

} // namespace orbex::headless
