// The window system of the SDL2 backend: one window, full screen on the
// desktop or scaled, its keyboard and mouse events turned into the messages
// the viewer's window procedure knows.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/codepage.h"
#include "common/geometry.h"
#include "platform/backend.h"
#include "platform/display.h"
#include "platform/sdl/internal.h"
#include "platform/sdl/sdl.h"

namespace orbex::sdl {

SdlPtr<SDL_Window> pWindow;
// A desktop keeps sending a window small messages of its own; the viewer acts
// on a quit request (the end of the fade, a missing background) only when a
// message comes, so an idle message now and then lets it close by itself.
constexpr Uint32 IDLE_MESSAGE_MS = 500;
Uint32 dwLastIdleMessage = 0;
SdlPtr<SDL_Renderer> pRenderer;

namespace {

constexpr LPARAM HTCLIENT = 1;

// Where the viewer sees the pointer while the system pointer is outside the
// window: SDL would leave it at the window edge it crossed, and at the top or
// bottom edge the page would go on scrolling. Half-way down is between the
// edge zones, so nothing scrolls; one pixel right of the frame lies beyond
// every text column, so no link is hovered, and the viewer draws no pointer
// picture there, as for a pointer pushed off the frame by the keypad.
constexpr POINT POINTER_OUTSIDE{SCREENWIDTH, SCREENHEIGHT / 2};

bool bFullscreen = true;
int nScale = 2;
bool bIntegerScale = false;
// Whether the system pointer is over the window, as SDL's enter and leave
// events tell.
bool bPointerInside = false;

struct KeyCode {
    SDL_Keycode key;
    UINT code;
};

constexpr KeyCode KEY_CODES[] = {
    {SDLK_BACKSPACE, 0x08},  {SDLK_TAB, 0x09},         {SDLK_RETURN, VK_RETURN}, {SDLK_ESCAPE, VK_ESCAPE},
    {SDLK_SPACE, VK_SPACE},  {SDLK_PAGEUP, VK_PRIOR},  {SDLK_PAGEDOWN, VK_NEXT}, {SDLK_END, VK_END},
    {SDLK_HOME, VK_HOME},    {SDLK_LEFT, VK_LEFT},     {SDLK_UP, VK_UP},         {SDLK_RIGHT, VK_RIGHT},
    {SDLK_DOWN, VK_DOWN},    {SDLK_INSERT, VK_INSERT}, {SDLK_DELETE, VK_DELETE}, {SDLK_PAUSE, 0x13},
    {SDLK_LSHIFT, 0x10},     {SDLK_RSHIFT, 0x10},      {SDLK_LCTRL, 0x11},       {SDLK_RCTRL, 0x11},
    {SDLK_LALT, 0x12},       {SDLK_RALT, 0x12},        {SDLK_CAPSLOCK, 0x14},    {SDLK_NUMLOCKCLEAR, 0x90},
    {SDLK_SCROLLLOCK, 0x91}, {SDLK_F1, VK_F1},         {SDLK_F2, VK_F2},         {SDLK_F3, VK_F3},
    {SDLK_F4, VK_F4},        {SDLK_F5, VK_F5},         {SDLK_F6, VK_F6},         {SDLK_F7, VK_F7},
    {SDLK_F8, VK_F8},        {SDLK_F9, VK_F9},         {SDLK_F10, VK_F10},       {SDLK_F11, VK_F11},
    {SDLK_F12, VK_F12},
};

// The keypad by position, as Windows sends it while Num Lock is on, so the
// keypad digits move the pointer whatever the lock's state.
UINT keypadCode(SDL_Scancode scancode) {
    switch (scancode) {
    case SDL_SCANCODE_KP_0:
        return VK_NUMPAD0;
    case SDL_SCANCODE_KP_1:
        return VK_NUMPAD1;
    case SDL_SCANCODE_KP_2:
        return VK_NUMPAD2;
    case SDL_SCANCODE_KP_3:
        return VK_NUMPAD3;
    case SDL_SCANCODE_KP_4:
        return VK_NUMPAD4;
    case SDL_SCANCODE_KP_5:
        return VK_NUMPAD5;
    case SDL_SCANCODE_KP_6:
        return VK_NUMPAD6;
    case SDL_SCANCODE_KP_7:
        return VK_NUMPAD7;
    case SDL_SCANCODE_KP_8:
        return VK_NUMPAD8;
    case SDL_SCANCODE_KP_9:
        return VK_NUMPAD9;
    case SDL_SCANCODE_KP_PERIOD:
        return VK_DECIMAL;
    case SDL_SCANCODE_KP_MULTIPLY:
        return VK_MULTIPLY;
    case SDL_SCANCODE_KP_PLUS:
        return VK_ADD;
    case SDL_SCANCODE_KP_MINUS:
        return VK_SUBTRACT;
    case SDL_SCANCODE_KP_DIVIDE:
        return VK_DIVIDE;
    case SDL_SCANCODE_KP_ENTER:
        return VK_RETURN;
    default:
        return 0;
    }
}

// The Windows virtual-key code of a key, 0 for keys the viewer never hears.
UINT virtualKey(const SDL_Keysym &sym) {
    if (UINT code = keypadCode(sym.scancode); code != 0)
        return code;
    if (sym.sym >= SDLK_a && sym.sym <= SDLK_z)
        return static_cast<UINT>('A' + (sym.sym - SDLK_a));
    if (sym.sym >= SDLK_0 && sym.sym <= SDLK_9)
        return static_cast<UINT>('0' + (sym.sym - SDLK_0));
    for (const auto &k : KEY_CODES)
        if (k.key == sym.sym)
            return k.code;
    return 0;
}

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

// The desktop of the display the window is on (or the first).
SDL_Rect desktopBounds() {
    SDL_Rect bounds{0, 0, SCREENWIDTH, SCREENHEIGHT};
    int display = pWindow != nullptr ? SDL_GetWindowDisplayIndex(pWindow.get()) : 0;
    SDL_GetDisplayBounds(display < 0 ? 0 : display, &bounds);
    return bounds;
}

void applyWindowMode() {
    if (bFullscreen) {
        // Covering the desktop first makes full screen work also where no
        // window manager takes the request (a bare X server, a kiosk).
        SDL_Rect bounds = desktopBounds();
        SDL_SetWindowPosition(pWindow.get(), bounds.x, bounds.y);
        SDL_SetWindowSize(pWindow.get(), bounds.w, bounds.h);
        SDL_SetWindowFullscreen(pWindow.get(), SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        SDL_SetWindowFullscreen(pWindow.get(), 0);
        SDL_SetWindowSize(pWindow.get(), SCREENWIDTH * nScale, SCREENHEIGHT * nScale);
        SDL_SetWindowPosition(pWindow.get(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
}

bool makeRenderer() {
    pRenderer.reset(SDL_CreateRenderer(pWindow.get(), -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC));
    if (pRenderer == nullptr)
        pRenderer.reset(SDL_CreateRenderer(pWindow.get(), -1, SDL_RENDERER_SOFTWARE));
    if (pRenderer == nullptr)
        return false;
    // The frame keeps its 4:3 shape in any window, with black bars.
    SDL_RenderSetLogicalSize(pRenderer.get(), SCREENWIDTH, SCREENHEIGHT);
    SDL_RenderSetIntegerScale(pRenderer.get(), bIntegerScale ? SDL_TRUE : SDL_FALSE);
    return true;
}

// The keys the backend keeps for itself; true when the key was one of them.
bool backendKey(const SDL_KeyboardEvent &key) {
    if (key.keysym.sym == SDLK_RETURN && (key.keysym.mod & KMOD_ALT) != 0) {
        if (key.repeat == 0) {
            bFullscreen = !bFullscreen;
            applyWindowMode();
            presentAgain();
        }
        return true;
    }
    if (key.keysym.scancode == SDL_SCANCODE_PRINTSCREEN) {
        if (key.repeat == 0)
            saveScreenshot();
        return true;
    }
    return false;
}

// A window position as the frame pixel under it, packed as Windows packs
// a pointer position.
LPARAM pointParam(int x, int y) {
    float fx = 0, fy = 0;
    SDL_RenderWindowToLogical(pRenderer.get(), x, y, &fx, &fy);
    auto lx = static_cast<LPARAM>(SDL_clamp(static_cast<int>(fx), 0, SCREENWIDTH - 1));
    auto ly = static_cast<LPARAM>(SDL_clamp(static_cast<int>(fy), 0, SCREENHEIGHT - 1));
    return ly << 16 | lx;
}

// The pointer's frame pixel. Mouse events are not used for it: the renderer
// has already rescaled their coordinates, the pointer state it leaves alone.
LPARAM pointerParam() {
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    return pointParam(x, y);
}

// One event; true when it posted a message.
bool handleEvent(const SDL_Event &event, bool *moved) {
    switch (event.type) {
    case SDL_QUIT:
        postInputMessage(WM_CLOSE, 0, 0);
        return true;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            postInputMessage(WM_CLOSE, 0, 0);
            return true;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            postInputMessage(WM_ACTIVATEAPP, 1, 0);
            return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            postInputMessage(WM_ACTIVATEAPP, 0, 0);
            return true;
        case SDL_WINDOWEVENT_ENTER:
            bPointerInside = true;
            return false;
        case SDL_WINDOWEVENT_LEAVE:
            bPointerInside = false;
            return false;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            presentAgain();
            return false;
        default:
            return false;
        }
    case SDL_KEYDOWN:
        if (backendKey(event.key))
            return false;
        // Windows sends F10, the left Alt key and keys pressed with it as
        // system keys, which the viewer never hears.
        if (event.key.keysym.sym == SDLK_F10 || event.key.keysym.sym == SDLK_LALT ||
            (event.key.keysym.mod & KMOD_LALT) != 0)
            return false;
        if (UINT code = virtualKey(event.key.keysym); code != 0) {
            // Repeat count 1; bit 30 tells an auto-repeat, as on Windows.
            postInputMessage(WM_KEYDOWN, code, event.key.repeat != 0 ? (1 | (LPARAM{1} << 30)) : 1);
            return true;
        }
        return false;
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT) {
            postInputMessage(WM_LBUTTONDOWN, 1, pointerParam());
            return true;
        }
        if (event.button.button == SDL_BUTTON_RIGHT) {
            postInputMessage(WM_RBUTTONDOWN, 2, pointerParam());
            return true;
        }
        return false;
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT) {
            postInputMessage(WM_LBUTTONUP, 0, pointerParam());
            return true;
        }
        return false;
    case SDL_MOUSEMOTION:
        // A burst of motion asks for the pointer shape once.
        if (!*moved)
            postInputMessage(WM_SETCURSOR, 0, static_cast<LPARAM>(WM_MOUSEMOVE) << 16 | HTCLIENT);
        *moved = true;
        return true;
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
        // The texture is gone or empty; the viewer's Restore makes it anew.
        loseSurfaces();
        return false;
    default:
        return false;
    }
}

class SdlVideo final : public VideoBackend {
  public:
    int screenWidth() override { return desktopDisplayMode().w; }
    int screenHeight() override { return desktopDisplayMode().h; }

    bool openWindow(const char *title, int, int) override {
        if (pWindow != nullptr)
            return false;
        Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_RESIZABLE;
        SDL_Rect place{SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, SCREENWIDTH * nScale, SCREENHEIGHT * nScale};
        if (bFullscreen) {
            flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
            place = desktopBounds();
        }
        bPointerInside = false;
        pWindow.reset(SDL_CreateWindow(cp1252ToUtf8(title).c_str(), place.x, place.y, place.w, place.h, flags));
        if (pWindow == nullptr) {
            std::fprintf(stderr, "orbex: cannot open a window: %s\n", SDL_GetError());
            return false;
        }
        if (!makeRenderer()) {
            std::fprintf(stderr, "orbex: cannot draw into the window: %s\n", SDL_GetError());
            pWindow.reset();
            return false;
        }
        return true;
    }

    void showWindow() override {
        if (pWindow == nullptr)
            return;
        SDL_ShowWindow(pWindow.get());
        SDL_RaiseWindow(pWindow.get());
        presentAgain();
    }

    void closeWindow() override {
        dropTexture();
        loseSurfaces();
        pRenderer.reset();
        pWindow.reset();
    }

    void pumpEvents(bool wait) override {
        bool moved = false;
        bool posted = false;
        SDL_Event event;
        while (SDL_PollEvent(&event))
            posted = handleEvent(event, &moved) || posted;
        if (!wait && !posted && pWindow != nullptr && SDL_GetTicks() - dwLastIdleMessage >= IDLE_MESSAGE_MS) {
            dwLastIdleMessage = SDL_GetTicks();
            postInputMessage(WM_NULL, 0, 0);
            posted = true;
        }
        // Sleep in the event queue until something the viewer hears comes.
        while (wait && !posted && pWindow != nullptr) {
            if (SDL_WaitEvent(&event) == 0)
                return;
            posted = handleEvent(event, &moved);
        }
    }

    bool cursorPos(POINT *point) override {
        if (pRenderer == nullptr)
            return false;
        // A full-screen window covers the screen; its edge is the screen's.
        if (!bFullscreen && !bPointerInside) {
            *point = POINTER_OUTSIDE;
            return true;
        }
        LPARAM p = pointerParam();
        point->x = static_cast<LONG>(p & 0xFFFF);
        point->y = static_cast<LONG>(p >> 16);
        return true;
    }

    void hideSystemCursor() override { SDL_ShowCursor(SDL_DISABLE); }

    void messageBox(const char *text, const char *caption) override {
        std::string utf8Text = cp1252ToUtf8(text);
        std::string utf8Caption = cp1252ToUtf8(caption);
        if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, utf8Caption.c_str(), utf8Text.c_str(),
                                     pWindow.get()) != 0)
            std::fprintf(stderr, "%s: %s\n", utf8Caption.c_str(), utf8Text.c_str());
    }

    // The window shows any depth; these are the two the textures are made in.
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
        return width == SCREENWIDTH && height == SCREENHEIGHT && openTexture(depth);
    }
    bool restoreFrames() override { return restoreTexture(); }
    void closeFrames() override { dropTexture(); }
    void presentFrame(const FrameView &frame) override { presentTexture(frame); }

  private:
    static SDL_DisplayMode desktopDisplayMode() {
        SDL_DisplayMode mode{};
        if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.w <= 0 || mode.h <= 0)
            mode.w = SCREENWIDTH, mode.h = SCREENHEIGHT;
        return mode;
    }
};

SdlVideo video;

} // namespace

VideoBackend *sdlVideo(bool fullscreen) {
    bFullscreen = fullscreen;
    nScale = readScale();
    const char *integer = std::getenv("ORBEX_INTEGER_SCALE");
    bIntegerScale = integer != nullptr && std::string(integer) == "1";
    return &video;
}

} // namespace orbex::sdl
