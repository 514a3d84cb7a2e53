// The one walk over the current article's text that lays out the page: it
// counts columns and lines, applies the colour codes and finds the links, and
// hands what lies on visible lines to a page that draws it (article.cpp) or
// writes it down as text (pagetext.cpp). So the text is always the picture.
//
// The lines above the window are laid out the same way for every scroll
// position: every byte there is one ordinary character. Where each of those
// lines begins is kept for the current selection, so a frame starts its walk
// at the first visible line instead of at byte 0, and draws the same pixels.
#pragma once

#include <algorithm>
#include <array>
#include <concepts>
#include <cstdint>
#include <limits>

#include "common/geometry.h"
#include "common/linkheader.h"
#include "common/textcodes.h"
#include "text/archive.h"

namespace orbex {

// A step starts at most one line, and every step reads a byte.
constexpr std::size_t MAX_LAYOUT_LINES = TEXT_SIZE + 1;
// Every line is above a window that begins here.
constexpr float ALL_ABOVE = std::numeric_limits<float>::infinity();

// The pass's counters at the start of one step.
struct PassPoint {
    std::int32_t index = 0;
    std::int32_t column = 0;
    std::int32_t line = 0;
    std::uint8_t red = 255, green = 255, blue = 255;
};

// A link on a visible line, as the pass reads its header.
struct PassLink {
    bool music = false;
    std::int32_t index = 0; // its opening code
    std::int32_t line = 0;
    std::int32_t column = 0;
    // The pointer is over it between these x (both excluded) on its line.
    std::int32_t left = 0, right = 0;
    std::int32_t target = 0, targetLine = 0;
    std::array<char, 80> module{};        // zero-filled, at most 15 bytes
    std::uint8_t normal[3]{}, hover[3]{}; // blue, green, red
};

// Zero by default, so that the kept starts cost the program file nothing;
// the text itself starts as TEXT_START.
struct LineStart {
    std::int32_t index = 0;
    std::uint8_t column = 0;
    std::uint8_t red = 0, green = 0, blue = 0;
    bool lineFeed = false; // begun by a line feed or carriage return
};
// The start of line 0: white, as after a line feed.
constexpr LineStart TEXT_START{0, 0, 255, 255, 255, true};

struct LayoutState {
    // lineStarts[L]: the counters at the start of the step that begins line L
    // (line 0: the start of the text), every byte before it laid out as above
    // the window. Known for the first nKnownLines lines of the selection
    // dwLaidOut; bAllKnown once the walk reached the end of the buffer.
    std::array<LineStart, MAX_LAYOUT_LINES> lineStarts{};
    std::int32_t nKnownLines = 0;
    bool bAllKnown = false;
    std::uint32_t dwLaidOut = 0;
};

extern LayoutState layoutState;

// Codes near the end of the text read what lies behind it as zero, never the
// memory after the buffer.
inline std::uint8_t textByte(std::int32_t i) {
    return i >= 0 && static_cast<std::size_t>(i) < TEXT_SIZE ? szText[static_cast<std::size_t>(i)] : 0;
}

inline std::int32_t columnX(std::int32_t column) { return GLYPH_WIDTH * column + GLYPH_WIDTH; }

// The first line the page shows at scroll, the first L with L >= scroll;
// -1 when no line of the buffer can be (a position past its end, or NaN).
std::int32_t firstVisibleLine(float scroll);
// Called by the pages before a walk: the counters where line begins in the
// current selection; false when the buffer has no such line.
bool lineStartAt(std::int32_t line, PassPoint *at);
// Called by the text: whether line begins by a line feed (see lineStarts).
bool lineBeginsAtLineFeed(std::int32_t line);

// What a walk hands its page: a step that begins a line (never line 0;
// false stops the walk), an ordinary byte, a link's colour (blue, green,
// red), a byte of a link's text, and a link's end (false stops the walk:
// a followed article link switched the article).
template <typename Page>
concept LayoutPage = requires(Page &page, const PassPoint &at, const PassLink &link, std::uint8_t code,
                              const std::uint8_t *colour, std::int32_t line, bool lineFeed) {
    { page.lineBegins(at, line, lineFeed) } -> std::convertible_to<bool>;
    page.glyph(code, at);
    { page.linkColour(link) } -> std::convertible_to<const std::uint8_t *>;
    page.linkGlyph(code, at, link, colour);
    { page.linkEnds(link) } -> std::convertible_to<bool>;
};

namespace layout {

inline void takeColours(const LinkHeader<std::int32_t> &header, PassLink &link) {
    std::copy_n(header.normal, 3, link.normal);
    std::copy_n(header.hover, 3, link.hover);
}

// Link text stays on the opening code's line, one column per byte, and
// leaves at.index on the closing code (or the byte after 80 text bytes).
template <LayoutPage Page>
void linkText(Page &page, PassPoint &at, const PassLink &link, std::uint8_t closing, const std::uint8_t *colour) {
    for (std::int32_t k = 0; k < LINK_TEXT_MAX && textByte(at.index) != closing; ++k) {
        page.linkGlyph(textByte(at.index), at, link, colour);
        ++at.index;
        ++at.column;
    }
}

// False when the page stops the walk (a followed link switched the article).
template <LayoutPage Page> bool articleLink(Page &page, PassPoint &at) {
    PassLink link;
    link.index = at.index;
    link.line = at.line;
    link.column = at.column;
    std::int32_t d = LINK_TEXT_MAX;
    for (std::int32_t offset = 1; offset < LINK_TEXT_MAX; ++offset)
        if (textByte(at.index + offset) == ARTICLE_LINK_CODE) {
            d = offset;
            break;
        }
    // The zone counts the header's bytes as if they were text, minus 13.
    link.left = columnX(at.column);
    link.right = link.left + GLYPH_WIDTH * (d - 13);
    const LinkHeader<std::int32_t> header = readArticleHeader(textByte, at.index);
    link.target = header.target;
    link.targetLine = header.targetLine;
    takeColours(header, link);
    at.index = header.text;
    linkText(page, at, link, ARTICLE_LINK_CODE, page.linkColour(link));
    return page.linkEnds(link);
}

template <LayoutPage Page> void musicLink(Page &page, PassPoint &at) {
    PassLink link;
    link.music = true;
    link.index = at.index;
    link.line = at.line;
    link.column = at.column;
    const LinkHeader<std::int32_t> header = readMusicHeader(textByte, at.index);
    std::copy_n(header.module.begin(), header.moduleLength, link.module.begin());
    takeColours(header, link);
    at.index = header.text;
    std::int32_t m = LINK_TEXT_MAX;
    for (std::int32_t offset = 0; offset < LINK_TEXT_MAX; ++offset)
        if (textByte(at.index + offset) == MUSIC_LINK_CODE) {
            m = offset;
            break;
        }
    // Unlike the article link's, this zone starts one cell to the left.
    link.left = GLYPH_WIDTH * at.column;
    link.right = link.left + GLYPH_WIDTH * m;
    linkText(page, at, link, MUSIC_LINK_CODE, page.linkColour(link));
    page.linkEnds(link);
}

} // namespace layout

// The pass, from the counters at (the start of a step) to the end of the
// buffer or to end (an index), whichever comes first. Lines from scroll on
// are visible; without wholeText the pass ends at the first byte below the
// window, as the page does.
template <LayoutPage Page>
void walkPage(Page &page, PassPoint at, float scroll, std::int32_t end = static_cast<std::int32_t>(TEXT_SIZE),
              bool wholeText = false) {
    while (at.index < end && static_cast<std::size_t>(at.index) < TEXT_SIZE) {
        const PassPoint step = at;
        ++at.column;
        std::uint8_t b = textByte(at.index);
        if (b == COLOUR_CODE) {
            at.red = textByte(at.index + 1);
            at.green = textByte(at.index + 2);
            at.blue = textByte(at.index + 3);
            at.index += 4;
            b = textByte(at.index);
        }
        if (at.column > LAST_COLUMN || b == 10 || b == 13) {
            at.column = 0;
            ++at.line;
            if (!page.lineBegins(step, at.line, b == 10 || b == 13))
                return;
        }
        // line > scroll + 15 without rounding the sum: a position a hair
        // below a whole number shows 15 lines, not 16.
        if (!wholeText && static_cast<float>(at.line - PAGE_LINES) > scroll)
            return;
        // Above the window every byte is one ordinary character, neither
        // drawn nor read as a code (colour codes still count, above).
        if (static_cast<float>(at.line) >= scroll) {
            if (b == ARTICLE_LINK_CODE) {
                if (!layout::articleLink(page, at))
                    return;
            } else if (b == MUSIC_LINK_CODE) {
                layout::musicLink(page, at);
            } else {
                page.glyph(b, at);
            }
        }
        ++at.index;
    }
}

} // namespace orbex
