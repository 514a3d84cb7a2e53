// The window of the SDL2 backend: one window, full screen on the desktop or
// scaled, the pointer in frame coordinates, and message boxes.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/codepage.h"
#include "common/geometry.h"
#include "platform/sdl/internal.h"

namespace orbex::sdl {

namespace {

// Where the viewer sees the pointer while the system pointer is outside the
// window: SDL would leave it at the window edge it crossed, and at the top or
// bottom edge the page would go on scrolling. Half-way down is between the
// edge zones, so nothing scrolls; one pixel right of the frame lies beyond
// every text column, so no link is hovered, and the viewer draws no pointer
// picture there, as for a pointer pushed off the frame by the keypad.
constexpr POINT POINTER_OUTSIDE{SCREENWIDTH, SCREENHEIGHT / 2};

int readScale() {
    const char *text = std::getenv("ORBEX_SCALE");
    if (text == nullptr || *text == 0)
        return 2;
    char *end = nullptr;
    long scale = std::strtol(text, &end, 10);
    if (*end != 0 || scale < 1 || scale > 16) {
        std::fprintf(stderr, "orbex: ORBEX_SCALE must be a whole number from 1 to 16, using 2\n");
        return 2;
    }
    return static_cast<int>(scale);
}

bool readIntegerScale() {
    const char *integer = std::getenv("ORBEX_INTEGER_SCALE");
    return integer != nullptr && std::string(integer) == "1";
}

SDL_DisplayMode desktopDisplayMode() {
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.w <= 0 || mode.h <= 0)
        mode.w = SCREENWIDTH, mode.h = SCREENHEIGHT;
    return mode;
}

} // namespace

SdlBackend::SdlBackend(Platform &platform, bool fullscreen)
    : platform(platform), fullscreen(fullscreen), scale(readScale()), integerScale(readIntegerScale()), output(&player),
      player(&output) {
    player.setCapturePath(platform.userPath(std::getenv("ORBEX_AUDIO_CAPTURE")).c_str());
}

int SdlBackend::screenWidth() { return desktopDisplayMode().w; }

int SdlBackend::screenHeight() { return desktopDisplayMode().h; }

// The desktop of the display the window is on (or the first).
SDL_Rect SdlBackend::desktopBounds() const {
    SDL_Rect bounds{0, 0, SCREENWIDTH, SCREENHEIGHT};
    int display = window != nullptr ? SDL_GetWindowDisplayIndex(window.get()) : 0;
    SDL_GetDisplayBounds(display < 0 ? 0 : display, &bounds);
    return bounds;
}

void SdlBackend::applyWindowMode() {
    if (fullscreen) {
        // Covering the desktop first makes full screen work also where no
        // window manager takes the request (a bare X server, a kiosk).
        SDL_Rect bounds = desktopBounds();
        SDL_SetWindowPosition(window.get(), bounds.x, bounds.y);
        SDL_SetWindowSize(window.get(), bounds.w, bounds.h);
        SDL_SetWindowFullscreen(window.get(), SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        SDL_SetWindowFullscreen(window.get(), 0);
        SDL_SetWindowSize(window.get(), SCREENWIDTH * scale, SCREENHEIGHT * scale);
        SDL_SetWindowPosition(window.get(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
}

bool SdlBackend::makeRenderer() {
    renderer.reset(SDL_CreateRenderer(window.get(), -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC));
    if (renderer == nullptr)
        renderer.reset(SDL_CreateRenderer(window.get(), -1, SDL_RENDERER_SOFTWARE));
    if (renderer == nullptr)
        return false;
    // The frame keeps its 4:3 shape in any window, with black bars.
    SDL_RenderSetLogicalSize(renderer.get(), SCREENWIDTH, SCREENHEIGHT);
    SDL_RenderSetIntegerScale(renderer.get(), integerScale ? SDL_TRUE : SDL_FALSE);
    return true;
}

bool SdlBackend::openWindow(const char *title) {
    if (window != nullptr)
        return false;
    Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_RESIZABLE;
    SDL_Rect place{SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, SCREENWIDTH * scale, SCREENHEIGHT * scale};
    if (fullscreen) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        place = desktopBounds();
    }
    pointerInside = false;
    window.reset(SDL_CreateWindow(cp1252ToUtf8(title).c_str(), place.x, place.y, place.w, place.h, flags));
    if (window == nullptr) {
        std::fprintf(stderr, "orbex: cannot open a window: %s\n", SDL_GetError());
        return false;
    }
    if (!makeRenderer()) {
        std::fprintf(stderr, "orbex: cannot draw into the window: %s\n", SDL_GetError());
        window.reset();
        return false;
    }
    watchDisplay(window.get(), platform);
    return true;
}

void SdlBackend::showWindow() {
    if (window == nullptr)
        return;
    SDL_ShowWindow(window.get());
    SDL_RaiseWindow(window.get());
    presentAgain();
}

void SdlBackend::closeWindow() {
    if (displayGone())
        abandonDisplay();
    texture.reset();
    platform.loseSurfaces();
    renderer.reset();
    window.reset();
}

void SdlBackend::abandonDisplay() {
    (void)texture.release();
    (void)renderer.release();
    (void)window.release();
}

LPARAM SdlBackend::pointParam(int x, int y) const {
    float fx = 0, fy = 0;
    SDL_RenderWindowToLogical(renderer.get(), x, y, &fx, &fy);
    auto lx = static_cast<LPARAM>(SDL_clamp(static_cast<int>(fx), 0, SCREENWIDTH - 1));
    auto ly = static_cast<LPARAM>(SDL_clamp(static_cast<int>(fy), 0, SCREENHEIGHT - 1));
    return ly << 16 | lx;
}

// Mouse events are not used for it: the renderer has already rescaled their
// coordinates, the pointer state it leaves alone.
LPARAM SdlBackend::pointerParam() const {
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    return pointParam(x, y);
}

bool SdlBackend::cursorPos(POINT *point) {
    if (renderer == nullptr)
        return false;
    // A full-screen window covers the screen; its edge is the screen's.
    if (!fullscreen && !pointerInside) {
        *point = POINTER_OUTSIDE;
        return true;
    }
    LPARAM p = pointerParam();
    point->x = static_cast<LONG>(p & 0xFFFF);
    point->y = static_cast<LONG>(p >> 16);
    return true;
}

void SdlBackend::hideSystemCursor() { SDL_ShowCursor(SDL_DISABLE); }

void SdlBackend::messageBox(const char *text, const char *caption) {
    std::string utf8Text = cp1252ToUtf8(text);
    std::string utf8Caption = cp1252ToUtf8(caption);
    if (displayGone() ||
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, utf8Caption.c_str(), utf8Text.c_str(), window.get()) != 0)
        std::fprintf(stderr, "%s: %s\n", utf8Caption.c_str(), utf8Text.c_str());
}

} // namespace orbex::sdl
