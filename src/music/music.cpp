#include "music/music.h"

#include "shell/config.h"
#include "shell/startup.h"

namespace orbex {

HMUSIC hMusic = 0;

void startMusic(HWND) {
    if (bMusicOn != 1)
        return;
    if (!readConfigByte(1))
        createConfigFile();
    if (auto code = readConfigByte(1))
        nSampleRateCode = *code;
}

void switchMusic(const char *) {}

std::int32_t fadeMusicStep() { return 0; }

void stopMusic() {}

void resetMusic() { hMusic = 0; }

} // namespace orbex
