// Background music over the sound library: the start module, switches by
// music links, the fade of the end picture and the stop at exit.
#pragma once

#include <cstdint>

#include "platform/bass.h"

namespace orbex {

extern HMUSIC hMusic;

// Called once by initAssets.
void startMusic(HWND hWnd);
// Called by followMusicLink after the file was found.
void switchMusic(const char *name);
// Called once per outro frame; the volume after the step.
std::int32_t fadeMusicStep();
// Called by the shutdown sequence.
void stopMusic();

void resetMusic();

} // namespace orbex
