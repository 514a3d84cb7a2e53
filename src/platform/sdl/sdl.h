// The SDL2 backend: a real window (full screen or scaled), keyboard and
// mouse, a streaming texture as the back buffer, and the audio device.
#pragma once

namespace orbex::sdl {

// Installs the SDL2 window system, display and sound library; false, after a
// one-line message on standard error, when no display can be opened.
bool install(bool fullscreen);
// Closes what install opened.
void shutdown();

} // namespace orbex::sdl
