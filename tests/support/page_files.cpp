#include "support/page_files.h"

#include "images.h"
#include "picture/pixelformat.h"
#include "support/pictures.h"
#include "text/font.h"

namespace orbex::test {

namespace {

// Font file order: glyph, column, row.
std::size_t fileIndex(int glyph, int column, int row) {
    return static_cast<std::size_t>(glyph) * 128 + static_cast<std::size_t>(column) * 16 +
           static_cast<std::size_t>(row);
}

std::string colourBytes(std::uint32_t colour) {
    return {static_cast<char>(colour & 0xFF), static_cast<char>(colour >> 8 & 0xFF),
            static_cast<char>(colour >> 16 & 0xFF)};
}

} // namespace

Bytes markerFontBytes(bool blankZero) {
    Bytes font(FONT_FILE_SIZE, 0);
    for (int g = 0; g < 256; ++g) {
        if (g == ' ' || (g == 0 && blankZero))
            continue;
        font[fileIndex(g, 0, 0)] = 1;
        for (int bit = 0; bit < 7; ++bit)
            if ((g >> bit & 1) != 0)
                font[fileIndex(g, bit + 1, 0)] = 1;
        if ((g & 0x80) != 0)
            font[fileIndex(g, 1, 1)] = 1;
    }
    return font;
}

void loadMarkerFont(bool blankZero) {
    // Through the viewer's own loader, so the glyphs land as it lays them out.
    writeFile("data/chars.168", markerFontBytes(blankZero));
    FontBitmap.fill(0);
    loadFont();
}

TestFrame::TestFrame(int depth, int padding)
    : pitch(640 * (depth == 16 ? 2 : 3) + padding), bytes(depth == 16 ? 2 : 3),
      pixels(static_cast<std::size_t>(pitch) * 480, 0) {
    SCREENCOLORS = static_cast<std::uint8_t>(depth);
}

std::uint32_t TestFrame::pixel(int x, int y) const {
    const std::uint8_t *p = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(pitch) +
                            static_cast<std::size_t>(x) * static_cast<std::size_t>(bytes);
    return bytes == 3 ? rgb(p[2], p[1], p[0]) : static_cast<std::uint32_t>(p[0] | p[1] << 8);
}

std::vector<Cell> readCells(const std::uint8_t *pixels, int pitch, int bytes, int xPhase, std::uint32_t background) {
    auto at = [&](int x, int y) -> std::uint32_t {
        if (x < 0 || x >= 640 || y < 0 || y >= 480)
            return background;
        const std::uint8_t *p = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(pitch) +
                                static_cast<std::size_t>(x) * static_cast<std::size_t>(bytes);
        return bytes == 3 ? rgb(p[2], p[1], p[0]) : static_cast<std::uint32_t>(p[0] | p[1] << 8);
    };
    std::vector<Cell> cells;
    for (int y = 0; y < 480; ++y)
        for (int x = xPhase; x < 640; x += 8) {
            if (at(x, y) == background)
                continue;
            int code = 0;
            for (int bit = 0; bit < 7; ++bit)
                if (at(x + 1 + bit, y) != background)
                    code |= 1 << bit;
            if (at(x + 1, y + 1) != background)
                code |= 0x80;
            cells.push_back({x, y, code, at(x, y)});
        }
    return cells;
}

std::vector<Cell> readCells(const TestFrame &frame, int xPhase) {
    return readCells(frame.pixels.data(), frame.pitch, frame.bytes, xPhase);
}

std::string textAt(const std::vector<Cell> &cells, int y) {
    std::string text;
    for (const Cell &c : cells)
        if (c.y == y)
            text += static_cast<char>(c.code);
    return text;
}

const Cell *cellAt(const std::vector<Cell> &cells, int x, int y) {
    for (const Cell &c : cells)
        if (c.x == x && c.y == y)
            return &c;
    return nullptr;
}

int codeAt(const std::vector<Cell> &cells, int x, int y) {
    const Cell *c = cellAt(cells, x, y);
    return c != nullptr ? c->code : -1;
}

std::uint32_t colourAt(const std::vector<Cell> &cells, int x, int y) {
    const Cell *c = cellAt(cells, x, y);
    return c != nullptr ? c->colour : 0;
}

Bytes pcxBytes(int width, int height, const Bytes &indices, const Bytes &palette) {
    Bytes pal = palette;
    pal.resize(768, 0);
    return encodePcx(width, height, indices, pal);
}

Bytes solidPcx(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    Bytes indices(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 1);
    Bytes palette(768, 0);
    palette[3] = red;
    palette[4] = green;
    palette[5] = blue;
    return pcxBytes(width, height, indices, palette);
}

Bytes solidRaw(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    Bytes raw(640 * 480 * 3);
    for (std::size_t i = 0; i < raw.size(); i += 3) {
        raw[i] = red;
        raw[i + 1] = green;
        raw[i + 2] = blue;
    }
    return raw;
}

Bytes readPngRgb(const std::string &path) {
    RgbImage image;
    Report report;
    if (!readPng(path, image, report) || image.width != 640 || image.height != 480)
        return {};
    return image.rgb;
}

std::uint32_t rgbPixel(const Bytes &rgbBytes, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * 640 + static_cast<std::size_t>(x)) * 3;
    return rgb(rgbBytes[i], rgbBytes[i + 1], rgbBytes[i + 2]);
}

std::string colourCode(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return {'\xA2', static_cast<char>(red), static_cast<char>(green), static_cast<char>(blue)};
}

std::string articleLink(const std::string &target, const std::string &line, std::uint32_t normal, std::uint32_t hover,
                        const std::string &text) {
    return "\x9F[" + target + "][" + line + "]" + colourBytes(normal) + colourBytes(hover) + text + "\x9F";
}

std::string musicLink(const std::string &file, std::uint32_t normal, std::uint32_t hover, const std::string &text) {
    return "\xA8" + file + "\"" + colourBytes(normal) + colourBytes(hover) + text + "\xA8";
}

} // namespace orbex::test
