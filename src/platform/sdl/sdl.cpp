#include "platform/sdl/sdl.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/bass.h"
#include "platform/sdl/audio.h"
#include "platform/sdl/internal.h"

namespace orbex::sdl {

namespace {
bool bInstalled = false;
}

bool install(bool fullscreen) {
    // Scaling keeps the frame's pixels sharp.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    // The click that focuses the window also counts, as it did full screen.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    const char *asked = std::getenv("SDL_VIDEODRIVER");
    // Without a Wayland session the attempt only prints a complaint.
    if (asked == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr && std::getenv("XDG_RUNTIME_DIR") == nullptr)
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,kmsdrm");
    std::string why;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        why = SDL_GetError();
    } else if (std::string driver = SDL_GetCurrentVideoDriver();
               (driver == "offscreen" || driver == "dummy") && (asked == nullptr || driver != asked)) {
        // SDL's stand-ins when nothing real is there: nobody would see the window.
        why = "no screen, only SDL's " + driver + " driver";
        SDL_Quit();
    }
    if (!why.empty()) {
        std::fprintf(stderr, "orbex: no display can be opened (%s); set ORBEX_VIDEO=headless to run without one\n",
                     why.c_str());
        return false;
    }
    SDL_StopTextInput();
    bInstalled = true;
    setVideoBackend(sdlVideo(fullscreen));
    setSoundLibrary(installSound());
    return true;
}

void shutdown() {
    if (!bInstalled)
        return;
    bInstalled = false;
    videoBackend()->closeWindow();
    resetScreen();
    closeAudio();
    SDL_Quit();
}

} // namespace orbex::sdl
