// Helpers for the page tests: a "marker" font whose glyphs tell where they
// landed and which code they were, a reader of such glyphs from a frame, a
// small frame buffer, and writers of magazine files (font, PCX, raw picture).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picture/lockedframe.h"
#include "support/viewer_test.h"

namespace orbex::test {

// Glyph g: a marker pixel at column 0, row 0, and the bits of g in row 0
// (bits 0..6 at columns 1..7) and at column 1, row 1 (bit 7). The space is
// blank, and glyph 0 too when blankZero is set (zero bytes fill every page).
Bytes markerFontBytes(bool blankZero = true);
void loadMarkerFont(bool blankZero = true);

// A zeroed frame of 640x480 pixels of the given depth, which it also makes
// the viewer's SCREENCOLORS, with extra bytes at the end of each row.
struct TestFrame {
    explicit TestFrame(int depth = 24, int padding = 0);
    std::uint8_t *data() { return pixels.data(); }
    // As the drawing steps take it, at the depth of SCREENCOLORS.
    LockedFrame locked() { return {pixels.data(), pitch}; }
    std::int32_t pitch;
    int bytes;
    std::vector<std::uint8_t> pixels;

    // The pixel's bytes, blue first at 24, the packed word at 16.
    std::uint32_t pixel(int x, int y) const;
};

// One glyph of the marker font found in a frame.
struct Cell {
    int x = 0;
    int y = 0;
    int code = 0;
    std::uint32_t colour = 0; // 0xRRGGBB at 24, the packed word at 16

    bool operator==(const Cell &) const = default;
};

// Every marker glyph whose cell starts at an x with x % 8 == xPhase, found
// as pixels differing from `background` (blank is 0), row by row.
std::vector<Cell> readCells(const std::uint8_t *pixels, int pitch, int bytes, int xPhase = 0,
                            std::uint32_t background = 0);
std::vector<Cell> readCells(const TestFrame &frame, int xPhase = 0);
// The codes of the cells on the row y, as a string, and a lookup.
std::string textAt(const std::vector<Cell> &cells, int y);
const Cell *cellAt(const std::vector<Cell> &cells, int x, int y);
// The code of the cell at (x, y), or -1 when none starts there.
int codeAt(const std::vector<Cell> &cells, int x, int y);
// Its colour, or 0 when none starts there.
std::uint32_t colourAt(const std::vector<Cell> &cells, int x, int y);

constexpr std::uint32_t rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<std::uint32_t>(red) << 16 | static_cast<std::uint32_t>(green) << 8 | blue;
}

// An 8-bit run-length PCX of width x height indices (row-major) and a
// 256-entry red, green, blue palette.
Bytes pcxBytes(int width, int height, const Bytes &indices, const Bytes &palette);
// A PCX of one colour.
Bytes solidPcx(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
// "data/begin.raw": 640x480 pixels of red, green, blue bytes.
Bytes solidRaw(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// A PNG shot as 640x480 RGB bytes; empty when it cannot be read.
Bytes readPngRgb(const std::string &path);
// Pixel (x, y) of such RGB bytes as 0xRRGGBB.
std::uint32_t rgbPixel(const Bytes &rgbBytes, int x, int y);

// Markup of the page, as magazine makers write it.
std::string colourCode(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
// Article link with colours given as 0xRRGGBB (stored blue first); numbers
// are written as given ("4" or "12"), "]" added behind two-digit ones.
std::string articleLink(const std::string &target, const std::string &line, std::uint32_t normal, std::uint32_t hover,
                        const std::string &text);
std::string musicLink(const std::string &file, std::uint32_t normal, std::uint32_t hover, const std::string &text);

} // namespace orbex::test
