#include "shell/assets.h"

#include "base/config.h"
#include "base/settings.h"
#include "music/music.h"
#include "picture/pictures.h"
#include "picture/pixelformat.h"
#include "text/font.h"

namespace orbex {

void initAssets(HWND hWnd) {
    detectPixelFormat();
    prepareStartPicture();
    prepareEndPicture();
    prepareBackground();
    startMusic(hWnd);
    checkBackground(hWnd);
    buildPointer();
    loadFont();
    if (auto choice = readConfigByte(3))
        nPointerChoice = *choice;
}

} // namespace orbex
