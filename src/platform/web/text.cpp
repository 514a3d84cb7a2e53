// The article's text for the page: its lines as runs of one colour (and one
// link), its links, and where a click on each visible link lands, so that the
// page's link elements give the viewer the same input as the picture's.
#include <algorithm>
#include <cmath>

#include "common/articletext.h"
#include "common/codepage.h"
#include "common/geometry.h"
#include "platform/web/web.h"

namespace orbex::web {

namespace {

// The text is written for every view that moves its lines (a scroll by a
// line, in an article whose links wrap lines above the window), so a cell
// costs a few appends and no formatting.
constexpr char HEX_DIGITS[] = "0123456789abcdef";

void quoted(std::string &out, const std::string &utf8) {
    out += '"';
    for (char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += HEX_DIGITS[byte >> 4];
            out += HEX_DIGITS[byte & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

// A cell's colour as 0xRRGGBB.
std::uint32_t colourOf(const TextCell &cell) {
    return (static_cast<std::uint32_t>(cell.red) << 16) | (static_cast<std::uint32_t>(cell.green) << 8) | cell.blue;
}

void appendHexColour(std::string &out, std::uint32_t rgb) {
    for (int shift = 20; shift >= 0; shift -= 4)
        out += HEX_DIGITS[(rgb >> shift) & 15];
}

// One line as [text, "rrggbb", link] runs; the empty column after a link is
// a space of the run before it, as lineUtf8 writes it.
void lineRuns(std::string &out, const ArticleText &text, std::int32_t line) {
    const TextLine &here = text.lines[line];
    const std::int32_t end = text.lines[line + 1].firstCell;
    std::int32_t next = line == 0 || here.afterLineFeed ? 1 : 0;
    std::string run;
    std::uint32_t colour = 0xFFFFFF;
    std::int32_t link = NO_LINK;
    bool first = true;
    auto flush = [&] {
        if (run.empty())
            return;
        out += first ? "[" : ",[";
        first = false;
        quoted(out, run);
        out += ",\"";
        appendHexColour(out, colour);
        out += "\",";
        out += std::to_string(link);
        out += ']';
        run.clear();
    };
    out += '[';
    for (std::int32_t c = here.firstCell; c < end; ++c) {
        const TextCell &cell = text.cells[c];
        const std::int32_t column = cell.column;
        const std::int32_t gap = std::max(0, column - next);
        const std::uint32_t cellColour = colourOf(cell);
        // Spaces take any colour; a new colour or link starts a run.
        if (!run.empty() && (cell.link != link || (cellColour != colour && cell.code != ' '))) {
            run.append(static_cast<std::size_t>(gap), ' ');
            next += gap;
            flush();
        }
        if (run.empty()) {
            link = cell.link;
            colour = cellColour;
        }
        run.append(static_cast<std::size_t>(std::max(0, column - next)), ' ');
        next = std::max(next, column) + 1;
        run += utf8Of(textCodePoint(cell.code));
    }
    flush();
    out += ']';
}

// Where the pointer must be for a click on the link in the picture, or null
// when the picture cannot be clicked there (off the view or off the frame).
// The row is the first of the link's zone, above the edge that scrolls.
void clickPoint(std::string &out, const ArticleText &text, const TextLink &link) {
    if (link.line < text.firstInView || link.line > text.lastInView) {
        out += "null";
        return;
    }
    const std::int32_t right = std::min(link.right, SCREENWIDTH);
    const std::int32_t x = link.left + (right - link.left) / 2;
    const float t = (static_cast<float>(link.line) - text.scroll) * LINE_HEIGHT;
    const auto y = static_cast<std::int32_t>(std::floor(static_cast<double>(t) + PAGE_TOP)) + 1;
    if (!(x > link.left && x < right && x >= 0 && y >= 0 && y < SCREENHEIGHT)) {
        out += "null";
        return;
    }
    out += '[' + std::to_string(x) + ',' + std::to_string(y) + ']';
}

void view(std::string &out, const ArticleText &text) {
    out += "\"view\":{\"first\":" + std::to_string(text.firstInView) + ",\"last\":" + std::to_string(text.lastInView) +
           ",\"points\":[";
    for (std::int32_t k = 0; k < text.linkCount; ++k) {
        if (k > 0)
            out += ',';
        clickPoint(out, text, text.links[k]);
    }
    out += "]}";
}

} // namespace

std::string articleTextJson(const ArticleText &text, bool withLines) {
    if (!text.shown)
        return "{\"shown\":false}";
    std::string out = "{\"shown\":true,\"selection\":" + std::to_string(text.selection) +
                      ",\"version\":" + std::to_string(text.version) + ',';
    if (withLines) {
        out += "\"article\":" + std::to_string(text.article) + ",\"title\":";
        quoted(out, cp1252ToUtf8(text.title));
        out += ",\"author\":";
        quoted(out, cp1252ToUtf8(text.author));
        out += ",\"lines\":[";
        for (std::int32_t line = 0; line < text.lineCount; ++line) {
            if (line > 0)
                out += ',';
            lineRuns(out, text, line);
        }
        out += "],\"links\":[";
        for (std::int32_t k = 0; k < text.linkCount; ++k) {
            const TextLink &link = text.links[k];
            out += k > 0 ? ",{" : "{";
            out += link.music ? "\"music\":true,\"module\":" : "\"music\":false,\"module\":";
            quoted(out, cp1252ToUtf8(link.module));
            out += ",\"target\":" + std::to_string(link.target) + ",\"targetLine\":" + std::to_string(link.targetLine) +
                   ",\"line\":" + std::to_string(link.line) + '}';
        }
        out += "],";
    }
    view(out, text);
    out += '}';
    return out;
}

} // namespace orbex::web
