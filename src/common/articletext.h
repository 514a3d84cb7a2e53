// The article's text as the page lays it out: per line the characters in
// their columns and colours, and the links with their places. The viewer
// makes it with the very code that draws the page, so a line of the text is
// the line in the picture; backends offer it beside the picture (a screen
// reader, find, copy) and the tools write it as an archive edition. Every
// character is the Windows-1252 byte the font draws; conversion to Unicode
// happens here, at the edge.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "common/codepage.h"

namespace orbex {

constexpr std::int16_t NO_LINK = -1;

// One character in its column.
struct TextCell {
    std::uint8_t code; // the byte, as the font draws it
    std::uint8_t column;
    std::uint8_t red, green, blue;
    std::int16_t link;  // the link it belongs to, or NO_LINK
    std::int32_t index; // where the byte is in the article's text
};

struct TextLine {
    std::int32_t firstCell; // its cells run to the next line's first
    // Started by a line feed (or carriage return) of the text, not by
    // wrapping after column 76; the first line counts as started by one.
    bool afterLineFeed;
};

struct TextLink {
    bool music;
    std::int32_t target;     // article link: the article and its line
    std::int32_t targetLine; // (as the digits give them, unchecked)
    char module[16];         // music link: the module file, zero-terminated
    std::int32_t index;      // where its opening code is in the text
    std::int32_t line;       // where its text stands: line, first column,
    std::int32_t column;     // and its cells (contiguous, from firstCell)
    std::int32_t firstCell;
    std::int32_t cellCount;
    // The pointer clicks it at a row between the line's top and bottom and
    // at x strictly between left and right (frame pixels); left >= right - 1
    // when it cannot be clicked.
    std::int32_t left, right;
    std::uint8_t normal[3], hover[3]; // red, green, blue
};

struct ArticleText {
    // False while no article is shown (start and end picture): nothing else
    // counts then.
    bool shown = false;
    // Counts selections: another article (or the same one chosen again).
    std::uint32_t selection = 0;
    // Counts changes of the lines and links below; the view alone may change
    // without it.
    std::uint32_t version = 0;
    std::int32_t article = 0; // nArticle; 1 is the contents page
    const char *title = "";   // zero-terminated, empty without a header
    const char *author = "";
    std::int32_t lineFeeds = 0; // the text's line feeds, which the scroll keys count

    const TextCell *cells = nullptr;
    const TextLine *lines = nullptr; // lineCount entries, then one more whose
    std::int32_t lineCount = 0;      // firstCell ends the last line
    const TextLink *links = nullptr;
    std::int32_t linkCount = 0;

    // The view: the first visible line as the scroll position gives it, and
    // the text's lines the picture shows, first to last (first = -1 and
    // last = -2 when none is).
    float scroll = 0.0f;
    std::int32_t firstInView = -1;
    std::int32_t lastInView = -2;
};

// The code point a character of the text stands for: Windows-1252, control
// bytes as spaces (the font may draw them, but as text they would be
// controls), bytes the code page leaves undefined as U+FFFD.
std::uint32_t textCodePoint(std::uint8_t code);

// A stretch of one line in one link and one colour, as the page shows it.
struct TextRun {
    // Its characters in column order, an empty column as a space: those
    // before it (after a link) and within it, and those after it up to the
    // next run.
    std::string utf8;
    // Where in utf8 its first character that is not a space begins (the
    // size of utf8 when all are): the colour starts there.
    std::size_t shownFrom = 0;
    // Where its first character begins: after the empty columns that open
    // a line (a line's first run only), which lie before its link.
    std::size_t firstCellAt = 0;
    std::int16_t link = NO_LINK;
    std::uint8_t red = 0, green = 0, blue = 0;
};

// The line's runs, left to right: visit(const TextRun &). A space takes any
// colour; another colour or another link starts a run (a run's colour is its
// first character's). The one walk from a line to its colours, for the
// text, the page's text and the edition alike.
template <typename Visit> void forEachRun(const ArticleText &text, std::int32_t line, Visit &&visit) {
    const TextLine &here = text.lines[line];
    const std::int32_t end = text.lines[line + 1].firstCell;
    // A line feed stands in column 0 of the line it starts.
    std::int32_t next = line == 0 || here.afterLineFeed ? 1 : 0;
    TextRun run;
    bool open = false;
    for (std::int32_t c = here.firstCell; c < end; ++c) {
        const TextCell &cell = text.cells[c];
        run.utf8.append(static_cast<std::size_t>(std::max(0, cell.column - next)), ' ');
        next = std::max<std::int32_t>(next, cell.column) + 1;
        const bool shown = cell.code != ' ';
        if (open && (cell.link != run.link ||
                     (shown && (cell.red != run.red || cell.green != run.green || cell.blue != run.blue)))) {
            if (run.shownFrom == std::string::npos)
                run.shownFrom = run.utf8.size();
            visit(std::as_const(run));
            run.utf8.clear();
            open = false;
        }
        if (!open) {
            run.link = cell.link;
            run.red = cell.red;
            run.green = cell.green;
            run.blue = cell.blue;
            run.shownFrom = std::string::npos;
            run.firstCellAt = run.utf8.size();
            open = true;
        }
        if (shown && run.shownFrom == std::string::npos)
            run.shownFrom = run.utf8.size();
        appendUtf8(run.utf8, textCodePoint(cell.code));
    }
    if (open) {
        if (run.shownFrom == std::string::npos)
            run.shownFrom = run.utf8.size();
        visit(std::as_const(run));
    }
}

// One line as UTF-8: its characters in column order, an empty column (the
// one after a link) as a space.
std::string lineUtf8(const ArticleText &text, std::int32_t line);
// The whole text as UTF-8 for the clipboard: the bytes F2 saves, with every
// markup code replaced by what the page shows of it and a line feed where
// the text has one (wrapping adds none).
std::string clipboardUtf8(const ArticleText &text);

} // namespace orbex
