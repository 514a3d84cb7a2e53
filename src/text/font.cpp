#include "text/font.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "base/settings.h"
#include "base/textfile.h"
#include "common/geometry.h"
#include "common/start.h"
#include "picture/lockedframe.h"

namespace orbex {

FontState fontState;

namespace {

constexpr int STRING_CELLS = 80;

std::size_t fontIndex(int glyph, int column, int row) {
    return static_cast<std::size_t>(glyph) * GLYPH_BYTES + static_cast<std::size_t>(column) * 32 +
           static_cast<std::size_t>(row);
}

// The set pixels of each glyph's rows as bits; the file fills rows 0..15.
void makeGlyphRows() {
    for (int glyph = 0; glyph < 256; ++glyph)
        for (int row = 0; row < GLYPH_HEIGHT; ++row) {
            std::uint8_t bits = 0;
            for (int column = 0; column < GLYPH_WIDTH; ++column)
                if (FontBitmap[fontIndex(glyph, column, row)] != 0)
                    bits = static_cast<std::uint8_t>(bits | 1u << column);
            abGlyphRows[static_cast<std::size_t>(glyph)][static_cast<std::size_t>(row)] = bits;
        }
}

// A cell wholly inside the frame: each set pixel written once, row by row.
template <std::int32_t BYTES>
void drawInside(const std::array<std::uint8_t, 16> &rows, std::uint8_t *line, std::int32_t pitch,
                const PixelColour &ink) {
    for (int row = 0; row < GLYPH_HEIGHT; ++row, line += pitch)
        for (unsigned bits = rows[static_cast<std::size_t>(row)]; bits != 0; bits &= bits - 1) {
            std::uint8_t *p = line + std::countr_zero(bits) * BYTES;
            p[0] = ink[0];
            p[1] = ink[1];
            if constexpr (BYTES == 3)
                p[2] = ink[2];
        }
}

bool blankGlyph(const std::array<std::uint8_t, 16> &rows) {
    std::uint64_t half[2];
    std::memcpy(half, rows.data(), sizeof half);
    return (half[0] | half[1]) == 0;
}

} // namespace

void loadFont() {
    TextFileReader chars(FONT_FILE);
    if (!chars.isOpen()) {
        MessageBoxA(hViewerWindow,
                    "ERROR (CODE 3): Konnte die Chars nicht laden! Versuche den Orbex Viewer zu beenden...", "ORBEX 5",
                    MB_OK);
        bQuitRequest = 1;
        return;
    }
    bool warned = false;
    for (int glyph = 0; glyph < 256; ++glyph)
        for (int column = 0; column < GLYPH_WIDTH; ++column)
            for (int row = 0; row < GLYPH_HEIGHT; ++row) {
                if (warned)
                    continue;
                int c = chars.getByte();
                FontBitmap[fontIndex(glyph, column, row)] = static_cast<std::uint8_t>(c);
                // The very last byte missing leaves its 0xFF but warns no one.
                bool last = glyph == 255 && column == GLYPH_WIDTH - 1 && row == GLYPH_HEIGHT - 1;
                if (c == TEXT_EOF && !last) {
                    MessageBoxA(hViewerWindow,
                                "WARNUNG (CODE 7): Verfr\xFChtes ende der Chars.168!!! Versuche den Viewer "
                                "dennoch zu starten...",
                                "ORBEX 5", MB_OK);
                    warned = true;
                }
            }
    makeGlyphRows();
}

void drawGlyph(std::uint8_t code, std::int32_t x, std::int32_t y, LockedFrame frame, std::uint8_t blue,
               std::uint8_t green, std::uint8_t red) {
    if (code == ' ' || !frame.drawable() || blankGlyph(abGlyphRows[code]))
        return;
    const std::uint8_t *glyph = FontBitmap.data() + static_cast<std::size_t>(code) * GLYPH_BYTES;
    // Packed once per glyph at 16 bits.
    const PixelColour ink = frame.colour(red, green, blue);
    // A cell across the frame's edges is clipped there, and the pixels inside
    // are drawn as if nothing were clipped; one wholly inside, as nearly every
    // one is, needs no test per pixel, and one wholly outside (the end of a
    // long title line) none at all.
    const std::int64_t right = std::int64_t{x} + GLYPH_WIDTH - 1, bottom = std::int64_t{y} + GLYPH_HEIGHT - 1;
    if (right < 0 || x >= SCREENWIDTH || bottom < 0 || y >= SCREENHEIGHT)
        return;
    if (frame.contains(x, y) && frame.contains(right, bottom)) {
        if (frame.bytesPerPixel == 3)
            drawInside<3>(abGlyphRows[code], frame.pixel(x, y), frame.pitch, ink);
        else if (frame.bytesPerPixel == 2)
            drawInside<2>(abGlyphRows[code], frame.pixel(x, y), frame.pitch, ink);
        return;
    }
    for (int column = 0; column < GLYPH_WIDTH; ++column)
        for (int row = 0; row < GLYPH_HEIGHT; ++row)
            if (glyph[column * 32 + row] != 0 && frame.contains(std::int64_t{x} + column, std::int64_t{y} + row))
                frame.put(x + column, y + row, ink);
}

void drawString(const std::uint8_t *text, std::int32_t x, std::int32_t y, LockedFrame frame, std::uint8_t blue,
                std::uint8_t green, std::uint8_t red) {
    for (int i = 0; i < STRING_CELLS; ++i) {
        if (text[i] == '$')
            return;
        // Cells past the int32 range lie beyond the frame's right edge anyway.
        std::int64_t cellX = std::int64_t{x} + GLYPH_WIDTH * i;
        if (cellX > INT32_MAX)
            return;
        drawGlyph(text[i], static_cast<std::int32_t>(cellX), y, frame, blue, green, red);
    }
}

} // namespace orbex
