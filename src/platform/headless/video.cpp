// The headless backend's window, screen and input: a window nobody sees,
// frames kept in memory, input from a script, message boxes on standard error.
#include <cstdio>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/geometry.h"
#include "platform/backend.h"
#include "platform/bass.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/headless/headless.h"
#include "platform/headless/sound.h"
#include "platform/places.h"
#include "platform/png.h"
#include "platform/script.h"

namespace orbex::headless {

namespace {

// What a test lets the screen offer.
struct ScreenSettings {
    std::vector<int> depths{16, 24};
    int desktopDepth = 16;
    DWORD red16 = 0xF800, green16 = 0x07E0, blue16 = 0x001F;
    int pitchPadding = 0;
};

struct BackendState {
    InputScript script;
    bool windowOpen = false;
    bool windowRefused = false;
    bool cursorHidden = false;
    std::vector<std::string> boxes;
    ScreenSettings screen;
    Frame shown;
};

BackendState state;

// A script's file names are the user's: taken from the start folder.
void writeLastShot(const std::string &file) {
    std::string path = userPath(file.c_str());
    std::string why;
    if (!writeShot(path, &why))
        std::fprintf(stderr, "orbex: cannot write %s: %s\n", path.c_str(), why.c_str());
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

    void pumpEvents(bool) override { state.script.pump(state.windowOpen, writeLastShot); }

    bool cursorPos(POINT *point) override {
        *point = state.script.cursor();
        return true;
    }
    void hideSystemCursor() override { state.cursorHidden = true; }
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

} // namespace

bool loadScriptText(const std::string &text, std::string *error) { return state.script.load(text, error); }

bool install(bool fromEnvironment) {
    setVideoBackend(&video);
    setSoundLibrary(installSound());
    bool scripted = false;
    return !fromEnvironment || readAutomation(&state.script, &scripted);
}

void reset() {
    state = BackendState{};
    resetWindowSystem();
    resetDisplayLayer();
    resetSoundLayer();
    resetClock();
    resetPlaces();
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

bool writeShot(const std::string &path, std::string *why) {
    const Frame &f = state.shown;
    return writeRgbPng(path, lastFrameRgb(), f.pixels.empty() ? SCREENWIDTH : f.width,
                       f.pixels.empty() ? SCREENHEIGHT : f.height, why);
}

const std::vector<std::string> &messageBoxes() { return state.boxes; }

bool systemCursorHidden() { return state.cursorHidden; }

void failWindowCreation() { state.windowRefused = true; }

} // namespace orbex::headless
