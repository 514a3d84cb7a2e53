#include "picture/pixelformat.h"

#include "base/settings.h"

namespace orbex {

PixelFormat pixelFormat;

namespace {
bool isLayout(int r, int g, int b) { return nRedBits == r && nGreenBits == g && nBlueBits == b; }
} // namespace

void detectPixelFormat() {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    // The result is not looked at: a failed query leaves zero masks, which
    // read as 6-6-6, a layout packing does not know.
    if (pPrimarySurface != nullptr)
        pPrimarySurface->GetPixelFormat(&format);
    nRedBits = 6;
    nGreenBits = 6;
    nBlueBits = 6;
    if (format.dwRBitMask == 0x7C00 || format.dwRBitMask == 0xF800)
        nRedBits = 5;
    if (format.dwGBitMask == 0x03E0 || format.dwGBitMask == 0x07C0)
        nGreenBits = 5;
    if (format.dwBBitMask == 0x001F || format.dwBBitMask == 0x003E)
        nBlueBits = 5;
    switch (nColourDepthChoice) {
    case 4:
        nRedBits = 5, nGreenBits = 5, nBlueBits = 5;
        break;
    case 5:
        nRedBits = 6, nGreenBits = 5, nBlueBits = 5;
        break;
    case 6:
        nRedBits = 5, nGreenBits = 6, nBlueBits = 5;
        break;
    case 7:
        nRedBits = 5, nGreenBits = 5, nBlueBits = 6;
        break;
    default:
        break;
    }
}

std::optional<std::uint16_t> packedWord(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    unsigned word = 0;
    if (isLayout(5, 6, 5))
        word = (red >> 3) << 11 | (green >> 2) << 5 | (blue >> 3);
    else if (isLayout(5, 5, 5))
        // Halved red and green through the 5-6-5 formula: red keeps only its
        // top four bits, so white is 0x7BFF.
        word = (red >> 4) << 11 | (green >> 3) << 5 | (blue >> 3);
    else if (isLayout(6, 5, 5))
        word = (red >> 2) << 10 | (green >> 3) << 5 | (blue >> 3);
    else if (isLayout(5, 5, 6))
        word = (red >> 3) << 11 | (green >> 3) << 6 | (blue >> 2);
    else
        return std::nullopt;
    return static_cast<std::uint16_t>(word);
}

void packColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (SCREENCOLORS != 16)
        return;
    // An unknown layout leaves the previous result in place.
    auto word = packedWord(red, green, blue);
    if (!word)
        return;
    bPackedLow = static_cast<std::uint8_t>(*word & 0xFF);
    bPackedHigh = static_cast<std::uint8_t>(*word >> 8);
}

} // namespace orbex
