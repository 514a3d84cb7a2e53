// The frame's colour depth and the 16-bit channel layout, and the packing of
// a colour into a 16-bit pixel.
#pragma once

#include <cstdint>
#include <optional>

namespace orbex {

struct PixelFormat {
    std::uint8_t SCREENCOLORS = 16; // 24 or 16; set by doInit's display mode
    std::uint8_t nRedBits = 0;
    std::uint8_t nGreenBits = 0;
    std::uint8_t nBlueBits = 0;
    // The result of packColour, the pixel's first (low) and second byte.
    std::uint8_t bPackedLow = 0;
    std::uint8_t bPackedHigh = 0;
};

extern PixelFormat pixelFormat;

inline constexpr std::uint8_t &SCREENCOLORS = pixelFormat.SCREENCOLORS;
inline constexpr std::uint8_t &nRedBits = pixelFormat.nRedBits;
inline constexpr std::uint8_t &nGreenBits = pixelFormat.nGreenBits;
inline constexpr std::uint8_t &nBlueBits = pixelFormat.nBlueBits;
inline constexpr std::uint8_t &bPackedLow = pixelFormat.bPackedLow;
inline constexpr std::uint8_t &bPackedHigh = pixelFormat.bPackedHigh;

// Called first by initAssets: bit counts from the primary surface's masks,
// then the override of nColourDepthChoice 4..7.
void detectPixelFormat();
// Called at 16 bits through LockedFrame::colour once per glyph and for the
// scroll bar, and per pixel by the start picture's and the pointer's
// conversions.
void packColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
// The packed word of the current layout, empty for a layout packing does not
// know; used by packColour and by the end and background pictures'
// conversions.
std::optional<std::uint16_t> packedWord(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

} // namespace orbex
