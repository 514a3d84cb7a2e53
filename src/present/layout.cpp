#include "present/layout.h"

#include <cmath>

namespace orbex {

LayoutState layoutState;

namespace {

// Writes down where each line begins; every byte is above the window.
struct LineRecorder {
    std::int32_t wanted;

    bool lineBegins(const PassPoint &step, std::int32_t line, bool lineFeed) {
        layoutState.lineStarts[static_cast<std::size_t>(line)] =
            LineStart{step.index, static_cast<std::uint8_t>(step.column), step.red, step.green, step.blue, lineFeed};
        layoutState.nKnownLines = line + 1;
        return line < wanted;
    }
    void glyph(std::uint8_t, const PassPoint &) {}
    const std::uint8_t *linkColour(const PassLink &) { return nullptr; }
    void linkGlyph(std::uint8_t, const PassPoint &, const PassLink &, const std::uint8_t *) {}
    bool linkEnds(const PassLink &) { return true; }
};

PassPoint pointOf(std::int32_t line) {
    const LineStart &start = layoutState.lineStarts[static_cast<std::size_t>(line)];
    return PassPoint{start.index, start.column, line > 0 ? line - 1 : 0, start.red, start.green, start.blue};
}

// What is kept belongs to the current selection, or starts again at line 0.
void keepSelection() {
    if (layoutState.dwLaidOut == dwSelections && layoutState.nKnownLines > 0)
        return;
    layoutState.dwLaidOut = dwSelections;
    layoutState.lineStarts[0] = TEXT_START;
    layoutState.nKnownLines = 1;
    layoutState.bAllKnown = false;
}

// On from the last line known, up to line (or the end of the buffer).
void learnLines(std::int32_t line) {
    keepSelection();
    if (layoutState.bAllKnown || line < layoutState.nKnownLines)
        return;
    LineRecorder recorder{line};
    const std::int32_t known = layoutState.nKnownLines;
    walkPage(recorder, pointOf(known - 1), ALL_ABOVE, static_cast<std::int32_t>(TEXT_SIZE), true);
    // A walk the recorder did not stop ran to the end of the buffer.
    if (layoutState.nKnownLines <= line)
        layoutState.bAllKnown = true;
}

} // namespace

std::int32_t firstVisibleLine(float scroll) {
    if (std::isnan(scroll) || scroll > static_cast<float>(MAX_LAYOUT_LINES))
        return -1;
    if (!(scroll > 0.0f))
        return 0;
    return static_cast<std::int32_t>(std::ceil(scroll));
}

bool lineStartAt(std::int32_t line, PassPoint *at) {
    if (line < 0 || static_cast<std::size_t>(line) >= MAX_LAYOUT_LINES)
        return false;
    learnLines(line);
    if (line >= layoutState.nKnownLines)
        return false;
    *at = pointOf(line);
    return true;
}

bool lineBeginsAtLineFeed(std::int32_t line) {
    PassPoint at;
    return lineStartAt(line, &at) && layoutState.lineStarts[static_cast<std::size_t>(line)].lineFeed;
}

} // namespace orbex
