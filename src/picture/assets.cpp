#include "picture/assets.h"

#include "music/music.h"
#include "picture/pixelformat.h"
#include "shell/config.h"
#include "text/font.h"

namespace orbex {

TrueColourPicture picIntro{};
TrueColourPicture picOutro{};
TrueColourPicture picBackground{};
TrueColourPicture picBackgroundCopy{};
std::array<std::uint8_t, PACKED_SIZE> picConvert16{};
std::array<std::uint8_t, 3072> abCursorColour{};
std::array<std::uint8_t, 1024> abCursorMask{};

void initAssets(HWND hWnd) {
    detectPixelFormat();
    startMusic(hWnd);
    loadFont();
    if (auto choice = readConfigByte(3))
        nPointerChoice = *choice;
}

void resetAssets() {
    picIntro.fill(0);
    picOutro.fill(0);
    picBackground.fill(0);
    picBackgroundCopy.fill(0);
    picConvert16.fill(0);
    abCursorColour.fill(0);
    abCursorMask.fill(0);
}

} // namespace orbex
