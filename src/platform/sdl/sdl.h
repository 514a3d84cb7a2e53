// The SDL2 backend: a real window (full screen or scaled), keyboard and
// mouse, a streaming texture as the back buffer, and the audio device.
#pragma once

#include "platform/backend.h"

namespace orbex::sdl {

// Open SDL's video for a window that starts full screen or scaled
// (Backend::install); false, after a one-line message on standard error,
// when no display can be opened.
bool installFullscreen(Platform &platform, BackendParts *parts);
bool installWindow(Platform &platform, BackendParts *parts);
// Closes the window and the audio device, then SDL.
void shutdown();

// As main lists them: ORBEX_VIDEO=fullscreen (the default) and window.
inline constexpr Backend FULLSCREEN{"fullscreen", installFullscreen, shutdown, false, true};
inline constexpr Backend WINDOW{"window", installWindow, shutdown, false, true};

} // namespace orbex::sdl
