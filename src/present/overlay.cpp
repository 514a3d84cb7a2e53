#include "present/overlay.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "base/settings.h"
#include "common/geometry.h"
#include "picture/pictures.h"
#include "picture/pixelformat.h"
#include "present/frame.h"
#include "present/input.h"
#include "text/archive.h"
#include "text/font.h"

namespace orbex {

namespace {

constexpr std::size_t TEXT_BUFFER = 80;
constexpr std::uint32_t FADE_FRAMES = 50;

// Pixel (x, y) of a picture with rows of 640 pixels of `bytes` bytes.
std::size_t pictureOffset(std::int32_t x, std::int32_t y, std::size_t bytes) {
    return (static_cast<std::size_t>(y) * SCREENWIDTH + static_cast<std::size_t>(x)) * bytes;
}

std::size_t frameOffset(std::int32_t x, std::int32_t y, std::int32_t pitch, std::size_t bytes) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(pitch) + static_cast<std::size_t>(x) * bytes;
}

} // namespace

void drawScrollBar() {
    std::size_t bytes;
    if (SCREENCOLORS == 24)
        bytes = 3;
    else if (SCREENCOLORS == 16)
        bytes = 2;
    else
        return;
    for (std::int32_t x = STRIP_LEFT; x <= STRIP_RIGHT; ++x)
        for (std::int32_t y = STRIP_TOP; y < SCREENHEIGHT; ++y) {
            const std::size_t o = pictureOffset(x, y, bytes);
            std::memcpy(picBackground.data() + o, picBackgroundCopy.data() + o, bytes);
        }
    if (nLineCount == 0)
        return;
    const auto lines = static_cast<float>(nLineCount);
    std::uint8_t thumb[3];
    if (bytes == 3) {
        // Only the 24-bit thumb reddens as the reader goes down.
        const auto shade = static_cast<std::int32_t>(ScrollPosition / lines * 50.0f);
        thumb[0] = 0;
        thumb[1] = 50;
        thumb[2] = static_cast<std::uint8_t>(100 + shade);
    } else {
        packColour(100, 50, 0);
        thumb[0] = bPackedLow;
        thumb[1] = bPackedHigh;
    }
    // f is a single-precision variable; the bound it is compared with is
    // not rounded to single precision, so the thumb ends just below
    // 200 + 250 * (s + 16) / n for the position as it is.
    const double position = ScrollPosition;
    const double end = (position + THUMB_LINES) * TRACK_ROWS / nLineCount;
    for (std::int32_t x = STRIP_LEFT; x <= STRIP_RIGHT; ++x)
        // A position too large for whole-row steps draws nothing instead of spinning.
        for (float f = ScrollPosition * TRACK_ROWS / lines; end > f && f + 1.0f != f; f += 1.0f) {
            // Only rows of the strip, which the next frame restores: a row
            // above it (a short article after Page Down) would stay in the
            // background picture for good.
            const auto row = static_cast<std::int32_t>(f + static_cast<float>(TRACK_TOP));
            if (row >= STRIP_TOP && row < SCREENHEIGHT)
                std::memcpy(picBackground.data() + pictureOffset(x, row, bytes), thumb, bytes);
        }
}

void drawHeaderLines(std::uint8_t *frame, std::int32_t pitch) {
    if (nArticle == 1)
        return;
    // The zeros behind the text are drawn as glyph 0, up to the 80th byte.
    std::array<char, TEXT_BUFFER> text{};
    std::snprintf(text.data(), text.size(), "Autor: %s", szAuthor.data());
    drawString(reinterpret_cast<const std::uint8_t *>(text.data()), AUTHOR_X, HEADER_Y, frame, pitch, 255, 255, 255);
    text.fill(0);
    std::snprintf(text.data(), text.size(), "Titel: %s", szTitle.data());
    drawString(reinterpret_cast<const std::uint8_t *>(text.data()), TITLE_END_X - GLYPH_WIDTH * nTitleLength, HEADER_Y,
               frame, pitch, 255, 255, 255);
}

void drawFrameRate(std::uint8_t *frame, std::int32_t pitch) {
    if (bShowFrameRate != 1)
        return;
    // Spaces behind the terminating zero: glyph 0 once, then nothing drawn.
    std::array<char, TEXT_BUFFER> text;
    text.fill(' ');
    std::snprintf(text.data(), text.size(), "dwFrames %f", static_cast<double>(dwFrames));
    drawString(reinterpret_cast<const std::uint8_t *>(text.data()), FRAME_RATE_X, FRAME_RATE_Y, frame, pitch, 255, 255,
               255);
}

void drawPointer(std::uint8_t *frame, std::int32_t pitch) {
    if (bPointerOn != 1 || nPointerChoice != 1 || nMouseX >= SCREENWIDTH || nMouseY >= SCREENHEIGHT)
        return;
    if (SCREENCOLORS != 24 && SCREENCOLORS != 16)
        return;
    for (std::int32_t dx = 0; dx < POINTER_SIZE; ++dx)
        for (std::int32_t dy = 0; dy < POINTER_SIZE; ++dy) {
            const std::int64_t x = static_cast<std::int64_t>(nMouseX) + dx;
            const std::int64_t y = static_cast<std::int64_t>(nMouseY) + dy;
            // Column 0 of the screen never gets pointer pixels.
            if (abCursorMask[static_cast<std::size_t>(32 * dx + dy)] != 1 || x <= 0 || x >= SCREENWIDTH || y < 0 ||
                y >= SCREENHEIGHT)
                continue;
            const auto sx = static_cast<std::int32_t>(x);
            const auto sy = static_cast<std::int32_t>(y);
            if (SCREENCOLORS == 16) {
                std::uint8_t *pixel = frame + frameOffset(sx, sy, pitch, 2);
                pixel[0] = abCursorColour[static_cast<std::size_t>(64 * dx + dy)];
                pixel[1] = abCursorColour[static_cast<std::size_t>(64 * dx + 32 + dy)];
                continue;
            }
            std::uint8_t *pixel = frame + frameOffset(sx, sy, pitch, 3);
            // Frame order blue, green, red; the pointer keeps red, green, blue rows.
            const std::uint8_t colour[3] = {abCursorColour[static_cast<std::size_t>(96 * dx + 64 + dy)],
                                            abCursorColour[static_cast<std::size_t>(96 * dx + 32 + dy)],
                                            abCursorColour[static_cast<std::size_t>(96 * dx + dy)]};
            for (int c = 0; c < 3; ++c) {
                const std::uint32_t sum = static_cast<std::uint32_t>(pixel[c]) + colour[c];
                // Half transparent, after a fade-in from black over the first frames.
                pixel[c] = dwTotalFrames > FADE_FRAMES ? static_cast<std::uint8_t>(sum / 2)
                                                       : static_cast<std::uint8_t>((sum / 100) * dwTotalFrames);
            }
        }
}

} // namespace orbex
