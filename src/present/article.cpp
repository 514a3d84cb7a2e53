#include "present/article.h"

#include <array>

#include "common/geometry.h"
#include "present/input.h"
#include "present/navigation.h"
#include "text/archive.h"
#include "text/font.h"

namespace orbex {

namespace {

constexpr std::int32_t LINK_TEXT_MAX = 80;
constexpr std::int32_t MUSIC_NAME_MAX = 15;

// Codes near the end of the text read what lies behind it as zero, never the
// memory after the buffer.
std::uint8_t textByte(std::int32_t i) {
    return i >= 0 && static_cast<std::size_t>(i) < TEXT_SIZE ? szText[static_cast<std::size_t>(i)] : 0;
}

std::int32_t columnX(std::int32_t column) { return GLYPH_WIDTH * column + GLYPH_WIDTH; }

// A one-digit number, or two digits when the byte after them is "]".
std::int32_t readLinkNumber(std::int32_t &p) {
    std::int32_t value;
    if (textByte(p + 2) == ']') {
        value = (textByte(p) - 48) * 10 + (textByte(p + 1) - 48);
        ++p;
    } else {
        value = textByte(p) - 48;
    }
    return value;
}

struct LinkColours {
    std::uint8_t normal[3]; // blue, green, red
    std::uint8_t hover[3];
};

LinkColours readLinkColours(std::int32_t p) {
    return {{textByte(p), textByte(p + 1), textByte(p + 2)}, {textByte(p + 3), textByte(p + 4), textByte(p + 5)}};
}

// One pass over the text; index, column and line as the page counts them.
struct Pass {
    LockedFrame frame;
    std::int32_t index = 0;
    std::int32_t column = 0;
    std::int32_t line = 0;
    std::uint8_t red = 255, green = 255, blue = 255;

    std::int32_t lineY() const {
        return static_cast<std::int32_t>((static_cast<float>(line) - ScrollPosition) * LINE_HEIGHT + PAGE_TOP);
    }

    // Only t is rounded to single precision; the bounds around it are exact,
    // so a pointer row next to a rounded edge is judged as it really lies.
    bool pointerOnLine() const {
        const float t = (static_cast<float>(line) - ScrollPosition) * LINE_HEIGHT;
        const auto y = static_cast<double>(nMouseY);
        return y > static_cast<double>(t) + PAGE_TOP && y < static_cast<double>(t) + PAGE_TOP + LINE_HEIGHT;
    }

    // Link text stays on the opening code's line, one column per byte, and
    // leaves index on the closing code (or the byte after 80 text bytes).
    void drawLinkText(std::uint8_t closing, const std::uint8_t *colour) {
        const std::int32_t y = lineY();
        for (std::int32_t k = 0; k < LINK_TEXT_MAX && textByte(index) != closing; ++k) {
            drawGlyph(textByte(index), columnX(column), y, frame, colour[0], colour[1], colour[2]);
            ++index;
            ++column;
        }
    }

    // Returns true when the link switched the article.
    bool articleLink() {
        std::int32_t d = LINK_TEXT_MAX;
        for (std::int32_t offset = 1; offset < LINK_TEXT_MAX; ++offset)
            if (textByte(index + offset) == ARTICLE_LINK_CODE) {
                d = offset;
                break;
            }
        const std::int32_t left = columnX(column);
        // The zone counts the header's bytes as if they were text, minus 13.
        const bool hovered = nMouseX > left && nMouseX < left + GLYPH_WIDTH * (d - 13) && pointerOnLine();

        std::int32_t p = index + 2;
        const std::int32_t target = readLinkNumber(p);
        p += 3;
        const std::int32_t targetLine = readLinkNumber(p);
        p += 2;
        const LinkColours colours = readLinkColours(p);
        index = p + 6;
        drawLinkText(ARTICLE_LINK_CODE, hovered ? colours.hover : colours.normal);
        if (hovered && linkPressPending()) {
            followArticleLink(target, targetLine);
            return true;
        }
        return false;
    }

    void musicLink() {
        std::array<char, 80> name{};
        ++index;
        for (std::int32_t k = 0; k < MUSIC_NAME_MAX && textByte(index) != '"'; ++k)
            name[static_cast<std::size_t>(k)] = static_cast<char>(textByte(index++));
        ++index;
        const LinkColours colours = readLinkColours(index);
        index += 6;
        std::int32_t m = LINK_TEXT_MAX;
        for (std::int32_t offset = 0; offset < LINK_TEXT_MAX; ++offset)
            if (textByte(index + offset) == MUSIC_LINK_CODE) {
                m = offset;
                break;
            }
        // Unlike the article link's, this zone starts one cell to the left.
        const std::int32_t left = GLYPH_WIDTH * column;
        const bool hovered = nMouseX > left && nMouseX < left + GLYPH_WIDTH * m && pointerOnLine();
        drawLinkText(MUSIC_LINK_CODE, hovered ? colours.hover : colours.normal);
        if (hovered && linkPressPending())
            followMusicLink(name.data());
    }
};

} // namespace

void drawArticle(LockedFrame frame) {
    Pass pass{frame};
    while (static_cast<std::size_t>(pass.index) < TEXT_SIZE) {
        ++pass.column;
        std::uint8_t b = textByte(pass.index);
        if (b == COLOUR_CODE) {
            pass.red = textByte(pass.index + 1);
            pass.green = textByte(pass.index + 2);
            pass.blue = textByte(pass.index + 3);
            pass.index += 4;
            b = textByte(pass.index);
        }
        if (pass.column > LAST_COLUMN || b == 10 || b == 13) {
            pass.column = 0;
            ++pass.line;
        }
        // line > ScrollPosition + 15 without rounding the sum: a position a
        // hair below a whole number shows 15 lines, not 16.
        if (static_cast<float>(pass.line - PAGE_LINES) > ScrollPosition)
            return;
        if (static_cast<float>(pass.line) >= ScrollPosition) {
            if (b == ARTICLE_LINK_CODE) {
                // The rest of this text belongs to the article just left:
                // the new one is laid out from its first byte next frame.
                if (pass.articleLink())
                    return;
            } else if (b == MUSIC_LINK_CODE) {
                pass.musicLink();
            } else {
                drawGlyph(b, columnX(pass.column), pass.lineY(), frame, pass.blue, pass.green, pass.red);
            }
        }
        ++pass.index;
    }
}

} // namespace orbex
