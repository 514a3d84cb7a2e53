#include "present/overlay.h"

#include <array>
#include <cstdio>

#include "base/settings.h"
#include "common/geometry.h"
#include "picture/lockedframe.h"
#include "picture/pictures.h"
#include "present/frame.h"
#include "present/input.h"
#include "text/archive.h"
#include "text/font.h"

namespace orbex {

namespace {

constexpr std::size_t TEXT_BUFFER = 80;
constexpr std::uint32_t FADE_FRAMES = 50;

} // namespace

void drawScrollBar() {
    const LockedFrame background = pictureFrame(picBackground.data());
    const LockedFrame untouched = pictureFrame(picBackgroundCopy.data());
    if (!background.drawable())
        return;
    for (std::int32_t x = STRIP_LEFT; x <= STRIP_RIGHT; ++x)
        for (std::int32_t y = STRIP_TOP; y < SCREENHEIGHT; ++y)
            background.put(x, y, untouched.at(x, y));
    if (nLineCount == 0)
        return;
    const auto lines = static_cast<float>(nLineCount);
    PixelColour thumb;
    if (background.bytesPerPixel == 3) {
        // Only the 24-bit thumb reddens as the reader goes down.
        const auto shade = static_cast<std::int32_t>(ScrollPosition / lines * 50.0f);
        thumb = background.colour(static_cast<std::uint8_t>(100 + shade), 50, 0);
    } else {
        thumb = background.colour(100, 50, 0);
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
                background.put(x, row, thumb);
        }
}

void drawHeaderLines(LockedFrame frame) {
    if (nArticle == 1)
        return;
    // The zeros behind the text are drawn as glyph 0, up to the 80th byte.
    std::array<char, TEXT_BUFFER> text{};
    std::snprintf(text.data(), text.size(), "Autor: %s", szAuthor.data());
    drawString(reinterpret_cast<const std::uint8_t *>(text.data()), AUTHOR_X, HEADER_Y, frame, 255, 255, 255);
    text.fill(0);
    std::snprintf(text.data(), text.size(), "Titel: %s", szTitle.data());
    drawString(reinterpret_cast<const std::uint8_t *>(text.data()), TITLE_END_X - GLYPH_WIDTH * nTitleLength, HEADER_Y,
               frame, 255, 255, 255);
}

void drawFrameRate(LockedFrame frame) {
    if (bShowFrameRate != 1)
        return;
    // Spaces behind the terminating zero: glyph 0 once, then nothing drawn.
    std::array<char, TEXT_BUFFER> text;
    text.fill(' ');
    std::snprintf(text.data(), text.size(), "dwFrames %f", static_cast<double>(dwFrames));
    drawString(reinterpret_cast<const std::uint8_t *>(text.data()), FRAME_RATE_X, FRAME_RATE_Y, frame, 255, 255, 255);
}

void drawPointer(LockedFrame frame) {
    if (bPointerOn != 1 || nPointerChoice != 1 || nMouseX >= SCREENWIDTH || nMouseY >= SCREENHEIGHT ||
        !frame.drawable())
        return;
    for (std::int32_t dx = 0; dx < POINTER_SIZE; ++dx)
        for (std::int32_t dy = 0; dy < POINTER_SIZE; ++dy) {
            const std::int64_t x = static_cast<std::int64_t>(nMouseX) + dx;
            const std::int64_t y = static_cast<std::int64_t>(nMouseY) + dy;
            // Column 0 of the screen never gets pointer pixels.
            if (abCursorMask[cursorCell(dx, dy)] != 1 || x <= 0 || !frame.contains(x, y))
                continue;
            const auto sx = static_cast<std::int32_t>(x);
            const auto sy = static_cast<std::int32_t>(y);
            const PixelColour colour = pointerColour(dx, dy);
            // At 16 bits the pointer covers the frame: no transparency, no fade.
            if (frame.bytesPerPixel == 2) {
                frame.put(sx, sy, colour);
                continue;
            }
            PixelColour blended = frame.at(sx, sy);
            for (std::size_t c = 0; c < blended.size(); ++c) {
                const std::uint32_t sum = static_cast<std::uint32_t>(blended[c]) + colour[c];
                // Half transparent, after a fade-in from black over the first frames.
                blended[c] = dwTotalFrames > FADE_FRAMES ? static_cast<std::uint8_t>(sum / 2)
                                                         : static_cast<std::uint8_t>((sum / 100) * dwTotalFrames);
            }
            frame.put(sx, sy, blended);
        }
}

} // namespace orbex
