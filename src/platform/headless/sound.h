// The sound of the headless backend: the desktop's module player with no
// audio device, its music moved on by the clock.
#pragma once

#include "platform/bass.h"

namespace orbex::headless {

// Called by install: the library, with ORBEX_AUDIO_CAPTURE from the environment.
SoundLibrary *installSound();

} // namespace orbex::headless
