// Shared between the parts of the headless backend.
#pragma once

#include "platform/bass.h"
#include "platform/ddraw.h"

namespace orbex::headless {

HRESULT createHeadlessDirectDraw(IDirectDraw **directDraw);
SoundLibrary *headlessSoundLibrary();
void resetDisplayState();
void resetSoundState();
// Called at every flip: time passes for the clock and the music.
void onFlip();
// Renders ms milliseconds of music, as the virtual clock moved that far.
void advanceSound(DWORD ms);

} // namespace orbex::headless
