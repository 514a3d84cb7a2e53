// Shared between the parts of the SDL2 backend.
#pragma once

#include <SDL.h>

#include "platform/backend.h"
#include "platform/ddraw.h"

namespace orbex::sdl {

// The viewer window and its renderer while the window is open; made by the
// window system part, used by the display objects to present.
extern SDL_Window *pWindow;
extern SDL_Renderer *pRenderer;

// Called by install: the window system, set to start full screen or in a
// window of ORBEX_SCALE times the frame.
VideoBackend *sdlVideo(bool fullscreen);
// Called by createDirectDraw of the video backend.
HRESULT createSdlDirectDraw(IDirectDraw **directDraw);
// Called by the event pump on a renderer reset: every surface answers
// DDERR_SURFACELOST until restored.
void loseSurfaces();
// Called by the event pump when the window needs its picture again while the
// viewer draws no frames (uncovered, resized, mode toggled).
void presentAgain();
// Called by the event pump on Print Screen: the last shown frame as a PNG in
// the working folder, under a name no file has yet.
void saveScreenshot();
// Called before the renderer goes: the surfaces drop their textures.
void forgetTextures();
// Called by shutdown: the display part back to its start.
void resetDisplay();

} // namespace orbex::sdl
