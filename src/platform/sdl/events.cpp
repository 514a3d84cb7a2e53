// SDL's events as the messages the viewer's window procedure knows: the
// window's (focus, close, exposure), the keyboard's and the mouse's.
#include "common/keys.h"
#include "platform/sdl/internal.h"

namespace orbex::sdl {

namespace {

struct SdlKey {
    SDL_Keycode key;
    UINT code;
};

// The SDL column of the key table.
constexpr SdlKey SDL_KEYS[] = {
#define ORBEX_KEY(name, code, sdlKey, domCode, scriptName, standIn) {sdlKey, code},
#define ORBEX_KEY_ALSO(name, sdlKey, domCode) {sdlKey, VK_##name},
#include "common/keys.def"
#undef ORBEX_KEY
#undef ORBEX_KEY_ALSO
};

// Keypad keys are taken by their position, as Windows sends them while Num
// Lock is on, so the keypad digits move the pointer whatever the lock's state.
constexpr bool onKeypad(SDL_Keycode key) {
    auto scancode = static_cast<SDL_Scancode>(key & ~SDLK_SCANCODE_MASK);
    return (key & SDLK_SCANCODE_MASK) != 0 && scancode >= SDL_SCANCODE_KP_DIVIDE && scancode <= SDL_SCANCODE_KP_PERIOD;
}

// The Windows virtual-key code of a key, 0 for a key not in the table.
UINT virtualKey(const SDL_Keysym &sym) {
    for (const SdlKey &k : SDL_KEYS)
        if (onKeypad(k.key) && SDL_SCANCODE_TO_KEYCODE(sym.scancode) == k.key)
            return k.code;
    for (const SdlKey &k : SDL_KEYS)
        if (!onKeypad(k.key) && k.key == sym.sym)
            return k.code;
    return 0;
}

} // namespace

void SdlBackend::pumpEvents(bool wait) {
    bool moved = false;
    bool posted = false;
    SDL_Event event;
    while (SDL_PollEvent(&event))
        posted = handleEvent(event, &moved) || posted;
    // Sleep in the event queue until something the viewer hears comes.
    while (wait && !posted && window != nullptr) {
        if (SDL_WaitEvent(&event) == 0)
            return;
        posted = handleEvent(event, &moved);
    }
}

bool SdlBackend::handleEvent(const SDL_Event &event, bool *moved) {
    switch (event.type) {
    case SDL_QUIT:
        platform.postInput(WM_CLOSE, 0, 0);
        return true;
    case SDL_WINDOWEVENT:
        return onWindowEvent(event.window);
    case SDL_KEYDOWN:
        return onKey(event.key);
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEMOTION:
        return onMouse(event, moved);
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
        // The texture is gone or empty; the viewer's Restore makes it anew.
        platform.loseSurfaces();
        return false;
    default:
        return false;
    }
}

bool SdlBackend::onWindowEvent(const SDL_WindowEvent &event) {
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        platform.postInput(WM_CLOSE, 0, 0);
        return true;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        platform.postInput(WM_ACTIVATEAPP, 1, 0);
        return true;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        platform.postInput(WM_ACTIVATEAPP, 0, 0);
        return true;
    case SDL_WINDOWEVENT_ENTER:
        pointerInside = true;
        return false;
    case SDL_WINDOWEVENT_LEAVE:
        pointerInside = false;
        return false;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        presentAgain();
        return false;
    default:
        return false;
    }
}

bool SdlBackend::backendKey(const SDL_KeyboardEvent &key) {
    if (key.keysym.sym == SDLK_RETURN && (key.keysym.mod & KMOD_ALT) != 0) {
        if (key.repeat == 0) {
            fullscreen = !fullscreen;
            applyWindowMode();
            presentAgain();
        }
        return true;
    }
    // Copy, as everywhere on the desktop; with Alt it stays the system's.
    if (key.keysym.sym == SDLK_c && (key.keysym.mod & KMOD_CTRL) != 0 && (key.keysym.mod & KMOD_ALT) == 0) {
        if (key.repeat == 0)
            copyArticleText();
        return true;
    }
    if (key.keysym.scancode == SDL_SCANCODE_PRINTSCREEN) {
        if (key.repeat == 0)
            platform.saveScreenshot();
        return true;
    }
    return false;
}

bool SdlBackend::onKey(const SDL_KeyboardEvent &key) {
    if (backendKey(key))
        return false;
    UINT code = virtualKey(key.keysym);
    if (!reachesViewer(code, (key.keysym.mod & KMOD_LALT) != 0))
        return false;
    platform.postInput(WM_KEYDOWN, code, key.repeat != 0 ? KEY_REPEATED : KEY_PRESSED);
    return true;
}

bool SdlBackend::onMouse(const SDL_Event &event, bool *moved) {
    if (event.type == SDL_MOUSEMOTION) {
        // A burst of motion asks for the pointer shape once.
        if (!*moved)
            platform.postInput(WM_SETCURSOR, 0, SETCURSOR_MOVE);
        *moved = true;
        return true;
    }
    Uint8 button = event.button.button;
    if (event.type == SDL_MOUSEBUTTONDOWN && button == SDL_BUTTON_LEFT)
        platform.postInput(WM_LBUTTONDOWN, 1, pointerParam());
    else if (event.type == SDL_MOUSEBUTTONDOWN && button == SDL_BUTTON_RIGHT)
        platform.postInput(WM_RBUTTONDOWN, 2, pointerParam());
    else if (event.type == SDL_MOUSEBUTTONUP && button == SDL_BUTTON_LEFT)
        platform.postInput(WM_LBUTTONUP, 0, pointerParam());
    else
        return false;
    return true;
}

} // namespace orbex::sdl
