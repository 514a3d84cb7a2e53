#include "platform/sdl/sdl.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/sdl/internal.h"

namespace orbex::sdl {

namespace {

std::optional<SdlBackend> backend;

// SDL's video, or why there is none.
std::string openVideo() {
    // Scaling keeps the frame's pixels sharp.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    // The click that focuses the window also counts, as it did full screen.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    const char *asked = std::getenv("SDL_VIDEODRIVER");
    // Without a Wayland session the attempt only prints a complaint.
    if (asked == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr && std::getenv("XDG_RUNTIME_DIR") == nullptr)
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,kmsdrm");
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return SDL_GetError();
    std::string driver = SDL_GetCurrentVideoDriver();
    if ((driver == "offscreen" || driver == "dummy") && (asked == nullptr || driver != asked)) {
        // SDL's stand-ins when nothing real is there: nobody would see the window.
        SDL_Quit();
        return "no screen, only SDL's " + driver + " driver";
    }
    return {};
}

bool install(Platform &platform, BackendParts *parts, bool fullscreen) {
    if (std::string why = openVideo(); !why.empty()) {
        std::fprintf(stderr, "orbex: no display can be opened (%s); set ORBEX_VIDEO=headless to run without one\n",
                     why.c_str());
        return false;
    }
    SDL_StopTextInput();
    backend.emplace(platform, fullscreen);
    *parts = BackendParts{&*backend, backend->music(), BackendParts::Script::Never};
    return true;
}

} // namespace

bool installFullscreen(Platform &platform, BackendParts *parts) { return install(platform, parts, true); }

bool installWindow(Platform &platform, BackendParts *parts) { return install(platform, parts, false); }

void shutdown() {
    if (!backend)
        return;
    backend->closeWindow();
    backend.reset();
    if (SDL_WasInit(SDL_INIT_AUDIO) != 0)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    SDL_Quit();
}

SdlBackend *installedBackend() { return backend ? &*backend : nullptr; }

} // namespace orbex::sdl
