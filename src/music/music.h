// Background music over the sound library: the start module, switches by
// music links, the fade of the end picture and the stop at exit.
#pragma once

#include <cstdint>

#include "platform/bass.h"

namespace orbex {

struct MusicState {
    // The loaded module; 0 until startMusic, replaced by every switchMusic.
    HMUSIC hMusic = 0;
};

extern MusicState musicState;

inline constexpr HMUSIC &hMusic = musicState.hMusic;

// Called once by initAssets: "extreme2.xm", looping, at the configured rate.
void startMusic(HWND hWnd);
// Called by followMusicLink after the file was found: the named module instead.
void switchMusic(const char *name);
// Called once per outro frame by drawFrame; the volume after the step.
std::int32_t fadeMusicStep();
// Called once by the shutdown sequence, between its first two log lines.
void stopMusic();

} // namespace orbex
