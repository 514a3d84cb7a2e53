// Shared between the parts of the SDL2 backend.
#pragma once

#include <SDL.h>

#include <memory>

#include "platform/backend.h"

namespace orbex::sdl {

// SDL objects that destroy themselves.
struct SdlDestroy {
    void operator()(SDL_Window *window) const { SDL_DestroyWindow(window); }
    void operator()(SDL_Renderer *renderer) const { SDL_DestroyRenderer(renderer); }
    void operator()(SDL_Texture *texture) const { SDL_DestroyTexture(texture); }
};
template <typename T> using SdlPtr = std::unique_ptr<T, SdlDestroy>;

// The viewer window and its renderer while the window is open; made by the
// window part, used by the screen part to present. Both go before SDL_Quit.
extern SdlPtr<SDL_Window> pWindow;
extern SdlPtr<SDL_Renderer> pRenderer;

// Called by install: the window system, set to start full screen or in a
// window of ORBEX_SCALE times the frame.
VideoBackend *sdlVideo(bool fullscreen);

// The texture that shows the frames, made when the viewer makes its flipping
// chain and again after a renderer reset; false when the renderer cannot.
bool openTexture(int depth);
bool restoreTexture();
// Called before the renderer goes, and when the chain is released.
void dropTexture();
// Called at every flip: the frame into the texture, onto the window.
void presentTexture(const FrameView &frame);
// Called by the event pump when the window needs its picture again while the
// viewer draws no frames (uncovered, resized, mode toggled).
void presentAgain();
// Called by the event pump on Print Screen: the last shown frame as a PNG in
// the working folder, under a name no file has yet.
void saveScreenshot();
// Called by shutdown: the screen part back to its start.
void resetScreen();

} // namespace orbex::sdl
