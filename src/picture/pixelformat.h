// The frame's colour depth and the 16-bit channel layout, and the packing of
// a colour into a 16-bit pixel.
#pragma once

#include <cstdint>
#include <optional>

namespace orbex {

// PixelFormat.
extern std::uint8_t SCREENCOLORS; // 24 or 16; set by doInit's display mode
extern std::uint8_t nRedBits;
extern std::uint8_t nGreenBits;
extern std::uint8_t nBlueBits;

// The result of packColour, the pixel's first (low) and second byte.
extern std::uint8_t bPackedLow;
extern std::uint8_t bPackedHigh;

// Called first by initAssets: bit counts from the primary surface's masks,
// then the override of nColourDepthChoice 4..7.
void detectPixelFormat();
// Called per glyph, per converted pixel and for the scroll bar at 16 bits.
void packColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
// The packed word of the current layout, empty for a layout packing does not
// know; used by packColour and by initAssets' whole-picture conversions.
std::optional<std::uint16_t> packedWord(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

void resetPixelFormat();

} // namespace orbex
