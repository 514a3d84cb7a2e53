// The 8x16 bitmap font "data/chars.168" and the drawing of glyphs and short
// strings into the locked frame at 16 or 24 bits.
#pragma once

#include <array>
#include <cstdint>

#include "picture/lockedframe.h"

namespace orbex {

constexpr std::size_t FONT_FILE_SIZE = 32768;

// One glyph: 8 columns of room for 32 rows, of which rows 16..31 stay zero.
constexpr std::size_t GLYPH_BYTES = 8 * 32;

struct FontState {
    // Glyph g, column c, row r at g*GLYPH_BYTES + c*32 + r.
    std::array<std::uint8_t, 256 * GLYPH_BYTES> FontBitmap{};
    // The same pixels row by row, bit c for column c, made by loadFont: a
    // glyph is drawn from its set bits instead of testing 128 bytes.
    std::array<std::array<std::uint8_t, 16>, 256> abGlyphRows{};
};

extern FontState fontState;

inline constexpr auto &FontBitmap = fontState.FontBitmap;
inline constexpr auto &abGlyphRows = fontState.abGlyphRows;

// Called by initAssets after the pointer picture.
void loadFont();
// Called by drawArticle for every character and by drawString: one glyph's
// set pixels in one colour, clipped to the 640x480 frame.
void drawGlyph(std::uint8_t code, std::int32_t x, std::int32_t y, LockedFrame frame, std::uint8_t blue,
               std::uint8_t green, std::uint8_t red);
// Called by drawHeaderLines and drawFrameRate: up to 80 glyphs 8 pixels
// apart, stopping at "$".
void drawString(const std::uint8_t *text, std::int32_t x, std::int32_t y, LockedFrame frame, std::uint8_t blue,
                std::uint8_t green, std::uint8_t red);

} // namespace orbex
