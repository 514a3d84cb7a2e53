// The page as text: the same walk that draws the article (layout.h) writes
// down its characters, colours and links, line by line, and the viewer hands
// that text with the lines in view to the platform whenever the article or
// the view changes.
//
// The text is the article as seen from the first visible line: the lines
// from there on exactly as the page shows them, those above as every line
// above the window is laid out. In nearly every article that is one text
// whatever the position; only where a link's header makes a line above the
// window wrap otherwise than the visible line does (a long line with a link)
// do the lines move, in the text as in the picture, and the text is made
// again for the position.
#pragma once

#include <array>
#include <cstdint>

#include "common/articletext.h"
#include "present/layout.h"

namespace orbex {

// Links in one text: every link takes at least 9 bytes of the text.
constexpr std::size_t MAX_TEXT_LINKS = 8192;

// All zero at start, so that its megabytes cost the program file nothing.
struct PageTextState {
    std::array<TextCell, TEXT_SIZE + LINK_TEXT_MAX> cells{};
    std::array<TextLine, MAX_LAYOUT_LINES + 1> lines{};
    std::array<TextLink, MAX_TEXT_LINKS> links{};
    std::int32_t nCells = 0;
    std::int32_t nLines = 0;
    std::int32_t nLinks = 0;
    // What the buffers hold: the text of selection dwBuilt seen from line
    // nBuiltFrom (0 is the text as seen from the top).
    bool bBuilt = false;
    std::uint32_t dwBuilt = 0;
    std::int32_t nBuiltFrom = 0;
    // Seen from any first line up to this one, the text is the one seen from
    // the top (the lines above the window begin where the visible ones do).
    std::int32_t nSteadyLines = 0;
    std::uint32_t dwVersion = 0;
    // The text of selection dwTopBuilt seen from the top with every line
    // above the window, whole: the lines above any first line are a part
    // of it, taken from here rather than walked again on every line step.
    std::array<TextCell, TEXT_SIZE + LINK_TEXT_MAX> topCells{};
    std::array<TextLink, MAX_TEXT_LINKS> topLinks{};
    std::int32_t nTopCells = 0;
    std::int32_t nTopLinks = 0;
    bool bTopBuilt = false;
    std::uint32_t dwTopBuilt = 0;
    // What the platform was told last: whether an article was shown, which
    // text and where.
    bool bToldShown = false;
    std::uint32_t dwToldSelection = 0;
    std::uint32_t dwToldVersion = 0;
    std::int32_t nToldArticle = 0;
    float fToldScroll = 0.0f;
};

extern PageTextState pageTextState;

// Called by drawFrame in each viewing frame before the page is drawn: tells
// the platform the article's text and the lines in view when they changed.
void tellArticleText();
// Called by drawFrame in the other modes: no article is shown any more.
void tellNoArticle();
// The current article's text seen from scroll, with its view; valid until the
// next call or selection. Called by tellArticleText and by orbex-tool.
const ArticleText &articleTextAt(float scroll);

} // namespace orbex
