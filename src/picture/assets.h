// Every picture a frame copies or blends, prepared once at start; at 16 bits
// converted to packed pixels so that a frame only copies memory.
#pragma once

#include <array>
#include <cstdint>

#include "platform/windows.h"

namespace orbex {

constexpr std::size_t TRUECOLOUR_SIZE = 640 * 480 * 3;
constexpr std::size_t PACKED_SIZE = 640 * 480 * 2;

using TrueColourPicture = std::array<std::uint8_t, TRUECOLOUR_SIZE>;

extern TrueColourPicture picIntro;      // "data/begin.raw"
extern TrueColourPicture picOutro;      // "data/ende.pcx"
extern TrueColourPicture picBackground; // "data/BG_8b.pcx"; carries the scroll bar
extern TrueColourPicture picBackgroundCopy;
extern std::array<std::uint8_t, PACKED_SIZE> picConvert16;

// CursorPicture: colour column by column (24 bits: 96 bytes a column, red,
// green, blue rows; 16 bits: 64 bytes a column, low then high bytes), and the
// mask at 32*x + y, which first holds the palette indices.
extern std::array<std::uint8_t, 3072> abCursorColour;
extern std::array<std::uint8_t, 1024> abCursorMask;

// Called once by initEngine right after doInit.
void initAssets(HWND hWnd);

void resetAssets();

} // namespace orbex
