// The X display going away under the window (the X server ends, the
// session's connection breaks). Xlib's own answer is to end the program, and
// the clean-up that exit runs would then wait for ever on the dead display
// (destroying a window waits for the server's word). Returning from Xlib
// instead is no better: SDL and the renderer below it go on drawing into a
// drawable that is gone. So the loss ends the viewer right where it is
// found: the platform closes the viewer's window, and with it the log, and
// ends the program; no display call is made on the way.
#include <dlfcn.h>

#include <atomic>

#include "platform/sdl/internal.h"

// Last: Xlib's header, which it brings, defines Always and Never as macros.
#include <SDL_syswm.h>

namespace orbex::sdl {

namespace {

std::atomic<bool> gone{false};
// Not state: the platform's calls, one object for the whole run, told again
// with every window.
Platform *told = nullptr;

using IOErrorHandler = int (*)(Display *);
using SetIOErrorHandler = IOErrorHandler (*)(IOErrorHandler);

// Every display's, a message box's own connection too.
int endOnLoss(Display *) {
    gone = true;
    if (told != nullptr)
        told->displayLost();
    return 0; // Xlib ends the program
}

} // namespace

void watchDisplay(SDL_Window *window, Platform &platform) {
    gone = false;
    told = &platform;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
        return;
    // The Xlib SDL loaded for its X11 driver, not a second one.
    void *xlib = ::dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (xlib == nullptr)
        return;
    if (auto set = reinterpret_cast<SetIOErrorHandler>(::dlsym(xlib, "XSetIOErrorHandler")))
        set(endOnLoss);
    ::dlclose(xlib);
}

bool displayGone() { return gone; }

} // namespace orbex::sdl
