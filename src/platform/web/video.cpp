// The browser backend's window, screen and input. Interactive, the input is
// the page's DOM events, queued by the page as window messages; in an
// automated run (a script in the page's address) it is the script alone, as
// headless, so that both give the same frames.
#include <chrono>
#include <string>
#include <vector>

#include "common/geometry.h"
#include "orbex_web.h"
#include "platform/backend.h"
#include "platform/bass.h"
#include "platform/clock.h"
#include "platform/script.h"
#include "platform/web/sound.h"
#include "platform/web/web.h"

namespace orbex::web {

namespace {

// The viewer acts on a quit request (the end of the fade) only when a
// message comes, so an idle page sends an empty one now and then, as a
// desktop does.
constexpr std::chrono::milliseconds IDLE_MESSAGE_TIME{500};
using Clock = std::chrono::steady_clock;

struct BackendState {
    bool windowOpen = false;
    bool scripted = false;
    InputScript script;
    Clock::time_point lastMessage{};
    // A script's shots show the last flipped frame, kept also after the
    // display objects are gone; black before the first flip.
    FrameView shown;
    std::vector<std::uint8_t> shownPixels;
};

BackendState state;

void shoot(const std::string &name) {
    const FrameView &f = state.shown;
    orbex_shot(name.c_str(), f.pixels, f.pitch, f.pixels != nullptr ? f.depth : 0, f.redMask, f.greenMask, f.blueMask);
}

// The page's waiting messages into the queue; true when there were any.
bool takePageEvents() {
    bool posted = false;
    std::uint32_t event[3];
    while (orbex_poll_event(event) != 0) {
        postInputMessage(event[0], event[1], static_cast<LPARAM>(event[2]));
        posted = true;
    }
    return posted;
}

class WebVideo final : public VideoBackend {
  public:
    int screenWidth() override { return SCREENWIDTH; }
    int screenHeight() override { return SCREENHEIGHT; }
    bool openWindow(const char *, int, int) override {
        state.windowOpen = true;
        return true;
    }
    void showWindow() override {}
    void closeWindow() override { state.windowOpen = false; }

    void pumpEvents(bool wait) override {
        if (state.scripted) {
            state.script.pump(state.windowOpen, shoot);
            return;
        }
        bool posted = takePageEvents();
        while (wait && !posted && state.windowOpen) {
            orbex_wait_event();
            posted = takePageEvents();
        }
        const Clock::time_point now = Clock::now();
        if (posted) {
            state.lastMessage = now;
        } else if (state.windowOpen && now - state.lastMessage >= IDLE_MESSAGE_TIME) {
            state.lastMessage = now;
            postInputMessage(WM_NULL, 0, 0);
        }
    }

    bool cursorPos(POINT *point) override {
        if (state.scripted) {
            *point = state.script.cursor();
            return true;
        }
        std::int32_t xy[2] = {0, 0};
        orbex_cursor_pos(xy);
        *point = POINT{xy[0], xy[1]};
        return true;
    }
    void hideSystemCursor() override { orbex_show_cursor(0); }
    void messageBox(const char *text, const char *caption) override { orbex_message_box(text, caption); }

    // The canvas shows either depth; 16 bits as the SDL backend lays them out.
    void desktopMode(DWORD *width, DWORD *height, int *depth) override {
        *width = SCREENWIDTH;
        *height = SCREENHEIGHT;
        *depth = 16;
    }
    bool offersMode(DWORD width, DWORD height, int depth) override {
        return width == SCREENWIDTH && height == SCREENHEIGHT && (depth == 16 || depth == 24);
    }
    void masks16(DWORD *red, DWORD *green, DWORD *blue) override { *red = 0xF800, *green = 0x07E0, *blue = 0x001F; }
    bool openFrames(int width, int height, int depth) override {
        return width == SCREENWIDTH && height == SCREENHEIGHT && (depth == 16 || depth == 24);
    }

    // On the canvas now; the flip returns with the browser's next animation
    // frame (with a virtual clock, after one turn of the page's event loop),
    // so the browser paints and handles input meanwhile.
    void presentFrame(const FrameView &frame) override {
        orbex_present(frame.pixels, frame.pitch, frame.depth, frame.redMask, frame.greenMask, frame.blueMask);
        if (state.scripted) {
            state.shownPixels.assign(frame.pixels,
                                     frame.pixels + static_cast<std::ptrdiff_t>(frame.pitch) * frame.height);
            state.shown = frame;
            state.shown.pixels = state.shownPixels.data();
        }
        if (virtualClockInUse())
            advanceVirtualClock(virtualClockStep());
        orbex_wait_frame();
    }
};

WebVideo video;

} // namespace

bool install() {
    state = BackendState{};
    setVideoBackend(&video);
    setSoundLibrary(installSound());
    return readAutomation(&state.script, &state.scripted);
}

} // namespace orbex::web
