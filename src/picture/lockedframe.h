// The frame every drawing step writes into: the first pixel of a 640x480
// area and the bytes from one row to the next, as the lock of the back buffer
// gives them. Where pixel (x, y) lies and how a colour is written into it at
// 24 or 16 bits is said here and nowhere else. A prepared picture is a frame
// too, with rows of exactly 640 pixels.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/geometry.h"
#include "picture/pixelformat.h"

namespace orbex {

// A colour as the bytes of one pixel: blue, green, red at 24 bits; at 16 the
// packed word, low byte first (the third byte unused).
using PixelColour = std::array<std::uint8_t, 3>;

// Bytes of one pixel at a depth: 3 at 24 bits, 2 at 16, and 0 at any other
// depth, where nothing is drawn.
constexpr std::int32_t bytesPerPixelAt(std::uint8_t depth) { return depth == 24 ? 3 : depth == 16 ? 2 : 0; }

struct LockedFrame {
    std::uint8_t *pixels;
    std::int32_t pitch;
    std::int32_t bytesPerPixel;

    // Made by updateFrame from its lock of the back buffer, at the depth of
    // SCREENCOLORS.
    LockedFrame(std::uint8_t *framePixels, std::int32_t framePitch)
        : pixels(framePixels), pitch(framePitch), bytesPerPixel(bytesPerPixelAt(SCREENCOLORS)) {}
    // Made by the conversions at start-up: a picture in another layout than
    // the screen's.
    LockedFrame(std::uint8_t *framePixels, std::int32_t framePitch, std::int32_t pixelBytes)
        : pixels(framePixels), pitch(framePitch), bytesPerPixel(pixelBytes) {}

    // False at a depth nothing is drawn at.
    bool drawable() const { return bytesPerPixel != 0; }
    // The bytes of one row of 640 pixels.
    std::size_t rowBytes() const {
        return static_cast<std::size_t>(SCREENWIDTH) * static_cast<std::size_t>(bytesPerPixel);
    }
    // 64 bits, so that a position near the int32 limits cannot overflow.
    static bool contains(std::int64_t x, std::int64_t y) {
        return x >= 0 && x < SCREENWIDTH && y >= 0 && y < SCREENHEIGHT;
    }
    // The first byte of pixel (x, y), which must lie inside the frame.
    std::uint8_t *pixel(std::int32_t x, std::int32_t y) const {
        return pixels + static_cast<std::ptrdiff_t>(y) * pitch + static_cast<std::ptrdiff_t>(x) * bytesPerPixel;
    }
    std::uint8_t *row(std::int32_t y) const { return pixels + static_cast<std::ptrdiff_t>(y) * pitch; }
    // The bytes of pixel (x, y); the frame must be drawable.
    PixelColour at(std::int32_t x, std::int32_t y) const {
        const std::uint8_t *p = pixel(x, y);
        return {p[0], p[1], bytesPerPixel == 3 ? p[2] : std::uint8_t{0}};
    }
    // Writes the colour's bytes over pixel (x, y); the frame must be drawable.
    void put(std::int32_t x, std::int32_t y, const PixelColour &colour) const {
        std::uint8_t *p = pixel(x, y);
        p[0] = colour[0];
        p[1] = colour[1];
        if (bytesPerPixel == 3)
            p[2] = colour[2];
    }
    // The colour as this frame's pixels hold it; at 16 bits through
    // packColour, so a layout it does not know gives its previous result.
    PixelColour colour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
        if (bytesPerPixel == 3)
            return {blue, green, red};
        packColour(red, green, blue);
        return {bPackedLow, bPackedHigh, 0};
    }
};

// Used by drawScrollBar: a prepared picture of the current depth
// (pictures.h) seen as a frame.
inline LockedFrame pictureFrame(std::uint8_t *picture) {
    return {picture, SCREENWIDTH * bytesPerPixelAt(SCREENCOLORS)};
}

} // namespace orbex
