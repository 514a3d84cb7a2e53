#include "present/pagetext.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/text.h"

namespace orbex {

PageTextState pageTextState;

namespace {

PageTextState &state = pageTextState;
// Not state: what articleTextAt hands out, made afresh by every call (and,
// with its non-zero defaults, kept out of the big state).
ArticleText view;

// A first line past every line: the whole text lies above the window.
constexpr std::int32_t ALL_LINES = INT32_MAX;
constexpr std::int32_t UNKNOWN = -2;

void addLine(bool lineFeed) {
    if (static_cast<std::size_t>(state.nLines) < MAX_LAYOUT_LINES)
        state.lines[static_cast<std::size_t>(state.nLines++)] = TextLine{state.nCells, lineFeed};
}

// Writes down what the walk finds on visible lines: each line as it begins,
// its characters without the line feed that begins it, and the links.
class TextWriter {
  public:
    // Lines are opened as the walk begins them unless the cells are sorted
    // into lines afterwards; cells from index bound on are left out.
    TextWriter(bool openLines, std::int32_t bound, bool compare)
        : openLines(openLines), bound(bound), compare(compare) {}

    bool lineBegins(const PassPoint &step, std::int32_t line, bool lineFeed) {
        if (!openLines)
            return true;
        while (state.nLines < line)
            addLine(false);
        if (state.nLines == line)
            addLine(lineFeed);
        if (compare && steady == UNKNOWN) {
            PassPoint above;
            if (!lineStartAt(line, &above) || above.index != step.index || above.column != step.column ||
                above.red != step.red || above.green != step.green || above.blue != step.blue)
                steady = line - 1;
        }
        return true;
    }

    void glyph(std::uint8_t code, const PassPoint &at) {
        if (at.column == 0 && (code == 10 || code == 13))
            return;
        addCell(code, at, at.red, at.green, at.blue, NO_LINK);
    }

    const std::uint8_t *linkColour(const PassLink &link) {
        current = NO_LINK;
        if (static_cast<std::size_t>(state.nLinks) < MAX_TEXT_LINKS) {
            current = static_cast<std::int16_t>(state.nLinks++);
            TextLink &out = state.links[static_cast<std::size_t>(current)];
            out = TextLink{};
            out.music = link.music;
            out.target = link.target;
            out.targetLine = link.targetLine;
            std::memcpy(out.module, link.module.data(), sizeof out.module - 1);
            out.index = link.index;
            out.line = link.line;
            out.column = link.column;
            out.firstCell = state.nCells;
            out.left = link.left;
            out.right = link.right;
            for (int k = 0; k < 3; ++k) {
                out.normal[k] = link.normal[2 - k];
                out.hover[k] = link.hover[2 - k];
            }
        }
        return link.normal;
    }

    void linkGlyph(std::uint8_t code, const PassPoint &at, const PassLink &, const std::uint8_t *colour) {
        addCell(code, at, colour[2], colour[1], colour[0], current);
    }

    bool linkEnds(const PassLink &) {
        current = NO_LINK;
        return true;
    }

    // After a walk that compared: up to which first line the text seen from
    // there is this one.
    std::int32_t steadyLines() {
        if (steady != UNKNOWN)
            return steady;
        // Lines above the window that the visible text does not have.
        PassPoint above;
        if (lineStartAt(state.nLines, &above) && above.index < nTextLength)
            return state.nLines - 1;
        return ALL_LINES;
    }

  private:
    void addCell(std::uint8_t code, const PassPoint &at, std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                 std::int16_t link) {
        if (at.index >= bound || static_cast<std::size_t>(state.nCells) >= state.cells.size())
            return;
        state.cells[static_cast<std::size_t>(state.nCells++)] =
            TextCell{code, static_cast<std::uint8_t>(at.column), red, green, blue, link, at.index};
        if (link != NO_LINK)
            ++state.links[static_cast<std::size_t>(link)].cellCount;
    }

    bool openLines;
    std::int32_t bound;
    bool compare;
    std::int16_t current = NO_LINK;
    std::int32_t steady = UNKNOWN;
};

// Where the first cell at or after text index lies among n cells.
std::int32_t cellAt(const TextCell *cells, std::int32_t n, std::int32_t index) {
    return static_cast<std::int32_t>(
        std::lower_bound(cells, cells + n, index, [](const TextCell &cell, std::int32_t i) { return cell.index < i; }) -
        cells);
}

// The whole text seen from the top, once per selection (state.top*). The
// walk writes into the page's buffers, which the caller fills afresh.
void walkFromTop() {
    if (state.bTopBuilt && state.dwTopBuilt == dwSelections)
        return;
    state.nCells = state.nLinks = 0;
    TextWriter writer(false, nTextLength, false);
    walkPage(writer, PassPoint{}, -ALL_ABOVE, nTextLength, true);
    std::copy_n(state.cells.begin(), state.nCells, state.topCells.begin());
    std::copy_n(state.links.begin(), state.nLinks, state.topLinks.begin());
    state.nTopCells = state.nCells;
    state.nTopLinks = state.nLinks;
    state.bTopBuilt = true;
    state.dwTopBuilt = dwSelections;
    state.nCells = state.nLinks = 0;
}

// The text seen from the top cut at bound, as a walk from the top that
// stops there writes it: the cells before bound, and the links opened before
// it with only those of their cells.
void takeTopUpTo(std::int32_t bound) {
    walkFromTop();
    const std::int32_t cells = cellAt(state.topCells.data(), state.nTopCells, bound);
    const auto *links = state.topLinks.data();
    const auto linkEnd = std::lower_bound(links, links + state.nTopLinks, bound,
                                          [](const TextLink &link, std::int32_t i) { return link.index < i; });
    std::copy_n(state.topCells.begin(), cells, state.cells.begin());
    std::copy(links, linkEnd, state.links.begin());
    state.nCells = cells;
    state.nLinks = static_cast<std::int32_t>(linkEnd - links);
    if (state.nLinks > 0) {
        TextLink &last = state.links[static_cast<std::size_t>(state.nLinks - 1)];
        last.cellCount = std::clamp(cells - last.firstCell, 0, last.cellCount);
    }
}

// The text's lines above the first visible one, as every line above the
// window is laid out (where each begins), holding the characters the page
// shows of their bytes when it shows them: the text seen from the top, cut
// at bound and sorted into those lines. Links there cannot be clicked where
// they are; they move when they come into view.
void writeLinesAbove(std::int32_t first, std::int32_t bound) {
    std::int32_t count = 0;
    PassPoint start;
    while (count < first && lineStartAt(count, &start) && (count == 0 || start.index < nTextLength)) {
        addLine(lineBeginsAtLineFeed(count));
        ++count;
    }
    takeTopUpTo(bound);
    auto firstCellOf = [&](std::int32_t index) { return cellAt(state.cells.data(), state.nCells, index); };
    for (std::int32_t line = 1; line < count; ++line) {
        lineStartAt(line, &start);
        state.lines[static_cast<std::size_t>(line)].firstCell = firstCellOf(start.index);
    }
    // Links come in the order of their opening codes, as the lines do.
    std::int32_t line = 0;
    for (std::int32_t k = 0; k < state.nLinks; ++k) {
        TextLink &link = state.links[static_cast<std::size_t>(k)];
        while (line + 1 < count && lineStartAt(line + 1, &start) && start.index <= link.index)
            ++line;
        link.line = line;
        link.left = link.right = 0;
    }
}

// The buffers afresh: the current text seen from line first (ALL_LINES:
// from past its end).
void writeText(std::int32_t first) {
    state.nCells = state.nLines = state.nLinks = 0;
    PassPoint start;
    const bool visible = first != ALL_LINES && lineStartAt(first, &start) && (first == 0 || start.index < nTextLength);
    if (first > 0)
        writeLinesAbove(visible ? first : ALL_LINES, visible ? start.index : nTextLength);
    if (visible) {
        const bool fromTop = first == 0;
        if (fromTop)
            addLine(true);
        TextWriter writer(true, nTextLength, fromTop);
        walkPage(writer, start, static_cast<float>(first), nTextLength, true);
        if (fromTop)
            state.nSteadyLines = writer.steadyLines();
    }
    state.lines[static_cast<std::size_t>(state.nLines)].firstCell = state.nCells;
    state.nBuiltFrom = first;
    ++state.dwVersion;
}

bool sameScroll(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

} // namespace

const ArticleText &articleTextAt(float scroll) {
    if (!state.bBuilt || state.dwBuilt != dwSelections) {
        state.bBuilt = true;
        state.dwBuilt = dwSelections;
        writeText(0);
    }
    const std::int32_t first = firstVisibleLine(scroll);
    const std::int32_t from = first < 0 ? ALL_LINES : first;
    const std::int32_t wanted = from <= state.nSteadyLines ? 0 : from;
    if (wanted != state.nBuiltFrom)
        writeText(wanted);

    ArticleText &current = view;
    current = ArticleText{};
    current.shown = true;
    current.selection = dwSelections;
    current.version = state.dwVersion;
    current.article = nArticle;
    current.title = szTitle.data();
    current.author = szAuthor.data();
    current.lineFeeds = nLineCount;
    current.cells = state.cells.data();
    current.lines = state.lines.data();
    current.lineCount = state.nLines;
    current.links = state.links.data();
    current.linkCount = state.nLinks;
    current.scroll = scroll;
    if (first >= 0 && first < state.nLines) {
        std::int32_t last = first;
        while (last + 1 < state.nLines && !(static_cast<float>(last + 1 - PAGE_LINES) > scroll))
            ++last;
        current.firstInView = first;
        current.lastInView = last;
    }
    return current;
}

void tellArticleText() {
    const ArticleText &text = articleTextAt(ScrollPosition);
    if (state.bToldShown && state.dwToldSelection == text.selection && state.dwToldVersion == text.version &&
        state.nToldArticle == text.article && sameScroll(state.fToldScroll, text.scroll))
        return;
    state.bToldShown = true;
    state.dwToldSelection = text.selection;
    state.dwToldVersion = text.version;
    state.nToldArticle = text.article;
    state.fToldScroll = text.scroll;
    showArticleText(text);
}

void tellNoArticle() {
    if (!state.bToldShown)
        return;
    state.bToldShown = false;
    showArticleText(ArticleText{});
}

} // namespace orbex
