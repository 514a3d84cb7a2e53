#include "platform/sdl/sdl.h"

#include <cstdio>

#include "platform/bass.h"
#include "platform/headless/internal.h"
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
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "orbex: no display can be opened (%s); run with ORBEX_VIDEO=headless to run without one\n",
                     SDL_GetError());
        return false;
    }
    SDL_StopTextInput();
    bInstalled = true;
    setVideoBackend(sdlVideo(fullscreen));
    // Silent until the SDL audio library takes its place.
    setSoundLibrary(headless::headlessSoundLibrary());
    return true;
}

void shutdown() {
    if (!bInstalled)
        return;
    bInstalled = false;
    videoBackend()->closeWindow();
    resetDisplay();
    SDL_Quit();
}

} // namespace orbex::sdl
