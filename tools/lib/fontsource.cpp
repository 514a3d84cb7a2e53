#include "fontsource.h"

#include <cstdio>
#include <sstream>

#include "encoding.h"

namespace orbex {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool parseHex(const std::string &digits, std::vector<std::uint8_t> &out) {
    if (digits.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        int hi = hexValue(digits[i]), lo = hexValue(digits[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return true;
}

// A blank glyph on purpose: these bytes are never meant to show a shape.
bool blankByValue(int byte) { return byte < 0x20 || byte == 0x20 || byte == 0x7F || cp1252CodePoint(byte) == 0; }

} // namespace

std::map<std::uint32_t, GlyphRows> parseHexFont(const std::string &text, Report &report) {
    std::map<std::uint32_t, GlyphRows> glyphs;
    Listed problems(report, "");
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::size_t colon = line.find(':');
        std::vector<std::uint8_t> code, bits;
        auto problem = [&](const char *what) {
            if (problems.listing())
                problems.error("line " + std::to_string(number) + ": " + what);
            else
                problems.countError();
        };
        if (colon == std::string::npos || colon == 0 || colon > 6 ||
            !parseHex(std::string(colon % 2, '0') + line.substr(0, colon), code) ||
            !parseHex(line.substr(colon + 1), bits)) {
            problem("expected XXXX:HEXDIGITS");
            continue;
        }
        std::uint32_t codePoint = 0;
        for (std::uint8_t b : code)
            codePoint = codePoint * 256 + b;
        GlyphRows rows{};
        if (bits.size() == 16) {
            for (int r = 0; r < 16; ++r)
                rows[r] = bits[r];
        } else if (bits.size() == 32) {
            // A double-width glyph: each pair of columns becomes one.
            for (int r = 0; r < 16; ++r) {
                unsigned wide = (bits[2 * r] << 8) | bits[2 * r + 1];
                std::uint8_t narrow = 0;
                for (int c = 0; c < 8; ++c)
                    if ((wide >> (14 - 2 * c)) & 3)
                        narrow |= static_cast<std::uint8_t>(0x80 >> c);
                rows[r] = narrow;
            }
        } else {
            problem("a glyph needs 32 hex digits (8x16) or 64 (16x16)");
            continue;
        }
        // A whole Unicode font may come in; only what a byte can show is kept.
        if (cp1252Byte(codePoint) >= 0)
            glyphs[codePoint] = rows;
    }
    return glyphs;
}

std::vector<std::uint8_t> buildFont(const std::map<std::uint32_t, GlyphRows> &glyphs, Report &report) {
    std::vector<std::uint8_t> font(256 * 8 * 16, 0);
    for (int byte = 0; byte < 256; ++byte) {
        if (blankByValue(byte))
            continue;
        std::uint32_t codePoint = cp1252CodePoint(static_cast<std::uint8_t>(byte));
        auto found = glyphs.find(codePoint);
        if (found == glyphs.end()) {
            char text[80];
            std::snprintf(text, sizeof text, "no glyph for byte 0x%02X (U+%04X %s); left blank", byte, codePoint,
                          utf8Of(codePoint).c_str());
            report.warn(text);
            continue;
        }
        for (int c = 0; c < 8; ++c)
            for (int r = 0; r < 16; ++r)
                font[static_cast<std::size_t>(byte) * 128 + c * 16 + r] = (found->second[r] >> (7 - c)) & 1;
    }
    return font;
}

GlyphRows fontGlyph(const std::vector<std::uint8_t> &font, int glyph) {
    GlyphRows rows{};
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 16; ++r) {
            std::size_t at = static_cast<std::size_t>(glyph) * 128 + c * 16 + r;
            if (at < font.size() && font[at] != 0)
                rows[r] |= static_cast<std::uint8_t>(0x80 >> c);
        }
    return rows;
}

} // namespace orbex
