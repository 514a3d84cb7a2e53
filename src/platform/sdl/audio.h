// The sound of the SDL2 backend: the desktop module player pulled by
// an SDL audio device. It initialises only SDL's audio part, so it works
// beside any video set-up.
#pragma once

#include "platform/bass.h"

namespace orbex::sdl {

// Handed to setSoundLibrary by install; takes ORBEX_AUDIO_CAPTURE from the
// environment. The device opens at the viewer's BASS_Init.
SoundLibrary *installSound();
// Called by shutdown before SDL_Quit: closes the device, frees the modules
// and completes the capture.
void closeAudio();

} // namespace orbex::sdl
