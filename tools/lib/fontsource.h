// The font "data/chars.168" from a GNU-unifont-style .hex file.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "report.h"

namespace orbex {

// 16 rows of 8 pixels, bit 7 of a row byte the leftmost pixel.
using GlyphRows = std::array<std::uint8_t, 16>;

// Parses "XXXX:32 hex digits" lines (16-pixel-wide glyphs, 64 digits, are
// squeezed to 8 columns); blank lines and lines starting with '#' are skipped.
// Keeps the glyphs of the code points Windows-1252 has; lists the first
// MAX_LISTED bad lines and counts the rest.
std::map<std::uint32_t, GlyphRows> parseHexFont(const std::string &text, Report &report);
// The 32,768 bytes of the viewer's font: each byte value's glyph through
// Windows-1252, column by column, pixels 0 or 1. Control bytes, the space and
// the code page's holes stay blank, since the viewer draws glyph 0 behind
// header lines and the line-feed glyph at the start of every line.
std::vector<std::uint8_t> buildFont(const std::map<std::uint32_t, GlyphRows> &glyphs, Report &report);
// Glyph g's rows back out of a font file's bytes (for checks and tests).
GlyphRows fontGlyph(const std::vector<std::uint8_t> &font, int glyph);

} // namespace orbex
