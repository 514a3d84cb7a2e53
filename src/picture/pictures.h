// Every picture a frame copies or blends, prepared once at start; at 16 bits
// converted to packed pixels so that a frame only copies memory. initAssets
// runs the steps below in their order.
#pragma once

#include <array>
#include <cstdint>

#include "common/geometry.h"
#include "picture/lockedframe.h"
#include "platform/windows.h"

namespace orbex {

using TrueColourPicture = std::array<std::uint8_t, TRUECOLOUR_SIZE>;

struct Pictures {
    TrueColourPicture picIntro{};      // "data/begin.raw"
    TrueColourPicture picOutro{};      // "data/ende.pcx"
    TrueColourPicture picBackground{}; // "data/BG_8b.pcx"; carries the scroll bar
    TrueColourPicture picBackgroundCopy{};
    std::array<std::uint8_t, PACKED_SIZE> picConvert16{};
    // CursorPicture: colour column by column (24 bits: 96 bytes a column,
    // red, green, blue rows; 16 bits: 64 bytes a column, low then high
    // bytes), and the mask at 32*x + y, which first holds the palette indices.
    std::array<std::uint8_t, 3072> cursorColours{};
    std::array<std::uint8_t, 1024> abCursorMask{};
};

extern Pictures pictures;

inline constexpr TrueColourPicture &picIntro = pictures.picIntro;
inline constexpr TrueColourPicture &picOutro = pictures.picOutro;
inline constexpr TrueColourPicture &picBackground = pictures.picBackground;
inline constexpr TrueColourPicture &picBackgroundCopy = pictures.picBackgroundCopy;
inline constexpr auto &picConvert16 = pictures.picConvert16;
inline constexpr auto &cursorColours = pictures.cursorColours;
inline constexpr auto &abCursorMask = pictures.abCursorMask;

// Where the pointer picture keeps its pixel (x, y): the mask byte; at 24 bits
// its red, green and blue bytes, at 16 bits its packed low and high byte.
constexpr std::size_t cursorCell(std::int32_t x, std::int32_t y) { return static_cast<std::size_t>(32 * x + y); }
constexpr std::size_t cursorRed(std::int32_t x, std::int32_t y) { return static_cast<std::size_t>(96 * x + y); }
constexpr std::size_t cursorGreen(std::int32_t x, std::int32_t y) { return static_cast<std::size_t>(96 * x + 32 + y); }
constexpr std::size_t cursorBlue(std::int32_t x, std::int32_t y) { return static_cast<std::size_t>(96 * x + 64 + y); }
constexpr std::size_t cursorLow(std::int32_t x, std::int32_t y) { return static_cast<std::size_t>(64 * x + y); }
constexpr std::size_t cursorHigh(std::int32_t x, std::int32_t y) { return static_cast<std::size_t>(64 * x + 32 + y); }

// "data/begin.raw" into picIntro, packed at 16 bits; missing, it stays black.
void prepareStartPicture();
// "data/ende.pcx" into picOutro, packed at 16 bits through picConvert16.
void prepareEndPicture();
// "data/BG_8b.pcx" into picBackground the same way.
void prepareBackground();
// Keeps the untouched background for the scroll-bar strip, when the
// background file is there.
bool keepBackground();
// keepBackground; a missing background file is reported and ends the program.
void checkBackground(HWND hWnd);
// "data/cursor.pcx" into the pointer colours and mask, packed at 16 bits.
void buildPointer();
// Called by drawPointer: the pointer's pixel (x, y) as the frame's pixels
// hold it, once buildPointer has run.
inline PixelColour pointerColour(std::int32_t x, std::int32_t y) {
    if (SCREENCOLORS == 16)
        return {cursorColours[cursorLow(x, y)], cursorColours[cursorHigh(x, y)], 0};
    return {cursorColours[cursorBlue(x, y)], cursorColours[cursorGreen(x, y)], cursorColours[cursorRed(x, y)]};
}

} // namespace orbex
