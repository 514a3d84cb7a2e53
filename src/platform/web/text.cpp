// The article's text for the page: its lines as runs of one colour (and one
// link), its links, and where a click on each visible link lands, so that the
// page's link elements give the viewer the same input as the picture's.
//
// A link is named by where its opening code stands in the text, which no
// scrolling changes. So a text made again for another position (a link
// wraps a line above the window otherwise) shares most of its lines, byte
// for byte, with the text sent before: only the lines between are sent, as a
// splice, and a move of the view alone sends the view.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

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

void appendHexColour(std::string &out, std::uint32_t rgb) {
    for (int shift = 20; shift >= 0; shift -= 4)
        out += HEX_DIGITS[(rgb >> shift) & 15];
}

// What a line shows, as a 64-bit hash of its cells (character, column,
// colour, link by its place) and how it began: two texts' lines compare by
// it, so that only lines that differ are written out. A cell is one word,
// mixed in with one multiply, into four hashes in turn so that their
// multiplies overlap (every line of a long text is hashed on each change).
std::uint64_t lineHash(const ArticleText &text, std::int32_t line) {
    const auto word = [&](std::int32_t c) {
        const TextCell &cell = text.cells[c];
        const std::uint64_t place = static_cast<std::uint32_t>(cell.link == NO_LINK ? -1 : text.links[cell.link].index);
        return cell.code | (static_cast<std::uint64_t>(cell.column) << 8) |
               (static_cast<std::uint64_t>(cell.red) << 16) | (static_cast<std::uint64_t>(cell.green) << 24) |
               (static_cast<std::uint64_t>(cell.blue) << 32) | (place << 40);
    };
    const auto mix = [](std::uint64_t h, std::uint64_t w) {
        h = (h ^ w) * 0xFF51AFD7ED558CCDull;
        return h ^ (h >> 32);
    };
    std::uint64_t a = text.lines[line].afterLineFeed ? 0x9E3779B97F4A7C15ull : 0xC2B2AE3D27D4EB4Full;
    std::uint64_t b = 0x165667B19E3779F9ull;
    std::uint64_t c = 0x27D4EB2F165667C5ull;
    std::uint64_t d = 0x85EBCA77C2B2AE63ull;
    std::int32_t k = text.lines[line].firstCell;
    const std::int32_t end = text.lines[line + 1].firstCell;
    for (; k + 4 <= end; k += 4) {
        a = mix(a, word(k));
        b = mix(b, word(k + 1));
        c = mix(c, word(k + 2));
        d = mix(d, word(k + 3));
    }
    for (; k < end; ++k)
        a = mix(a, word(k));
    return mix(mix(mix(a, b), c), d);
}

// One line as [text, "rrggbb", link] runs (the link by its place in the
// text, -1 for none).
void lineRuns(std::string &out, const ArticleText &text, std::int32_t line) {
    out += '[';
    bool first = true;
    forEachRun(text, line, [&](const TextRun &run) {
        out += first ? "[" : ",[";
        first = false;
        quoted(out, run.utf8);
        out += ",\"";
        appendHexColour(out, (static_cast<std::uint32_t>(run.red) << 16) |
                                 (static_cast<std::uint32_t>(run.green) << 8) | run.blue);
        out += "\",";
        out += std::to_string(run.link == NO_LINK ? -1 : text.links[run.link].index);
        out += ']';
    });
    out += ']';
}

// Where the pointer must be for a click on the link in the picture: false
// when the picture cannot be clicked there (off the view or off the frame).
bool clickPoint(const ArticleText &text, const TextLink &link, std::int32_t &x, std::int32_t &y) {
    if (link.line < text.firstInView || link.line > text.lastInView)
        return false;
    const std::int32_t right = std::min(link.right, SCREENWIDTH);
    x = link.left + (right - link.left) / 2;
    const float t = (static_cast<float>(link.line) - text.scroll) * LINE_HEIGHT;
    y = static_cast<std::int32_t>(std::floor(static_cast<double>(t) + PAGE_TOP)) + 1;
    return x > link.left && x < right && x >= 0 && y >= 0 && y < SCREENHEIGHT;
}

// The lines in view and the links that can be clicked there, each with its
// point: [place, x, y].
void view(std::string &out, const ArticleText &text) {
    out += "\"view\":{\"first\":" + std::to_string(text.firstInView) + ",\"last\":" + std::to_string(text.lastInView) +
           ",\"points\":[";
    bool first = true;
    for (std::int32_t k = 0; k < text.linkCount; ++k) {
        const TextLink &link = text.links[k];
        std::int32_t x = 0;
        std::int32_t y = 0;
        if (!clickPoint(text, link, x, y))
            continue;
        out += first ? "[" : ",[";
        first = false;
        out += std::to_string(link.index) + ',' + std::to_string(x) + ',' + std::to_string(y) + ']';
    }
    out += "]}";
}

// The links whose text stands on lines first to last (before end): their
// place, what they open, and their line.
void links(std::string &out, const ArticleText &text, std::int32_t first, std::int32_t end) {
    out += "\"links\":[";
    bool none = true;
    for (std::int32_t k = 0; k < text.linkCount; ++k) {
        const TextLink &link = text.links[k];
        if (link.line < first || link.line >= end)
            continue;
        out += none ? "{" : ",{";
        none = false;
        out += "\"place\":" + std::to_string(link.index) + ",\"line\":" + std::to_string(link.line);
        out += link.music ? ",\"music\":true,\"module\":" : ",\"music\":false,\"module\":";
        quoted(out, cp1252ToUtf8(link.module));
        out +=
            ",\"target\":" + std::to_string(link.target) + ",\"targetLine\":" + std::to_string(link.targetLine) + '}';
    }
    out += ']';
}

} // namespace

std::string TextSender::message(const ArticleText &text) {
    if (!text.shown) {
        sent = false;
        lines.clear();
        return "{\"shown\":false}";
    }
    std::string out = "{\"shown\":true,\"selection\":" + std::to_string(text.selection) +
                      ",\"version\":" + std::to_string(text.version) + ',';
    const bool sameText = sent && text.selection == selection;
    if (!sameText || text.version != version) {
        std::vector<std::uint64_t> now(static_cast<std::size_t>(text.lineCount));
        for (std::int32_t line = 0; line < text.lineCount; ++line)
            now[static_cast<std::size_t>(line)] = lineHash(text, line);
        auto join = [&](std::size_t from, std::size_t to) {
            out += '[';
            for (std::size_t i = from; i < to; ++i) {
                if (i > from)
                    out += ',';
                lineRuns(out, text, static_cast<std::int32_t>(i));
            }
            out += ']';
        };
        if (!sameText) {
            out += "\"article\":" + std::to_string(text.article) + ",\"title\":";
            quoted(out, cp1252ToUtf8(text.title));
            out += ",\"author\":";
            quoted(out, cp1252ToUtf8(text.author));
            out += ",\"lines\":";
            join(0, now.size());
            out += ',';
            links(out, text, 0, text.lineCount);
            out += ',';
        } else {
            // The lines both texts begin and end with stay where they are.
            std::size_t head = 0;
            while (head < now.size() && head < lines.size() && now[head] == lines[head])
                ++head;
            std::size_t tail = 0;
            while (tail < now.size() - head && tail < lines.size() - head &&
                   now[now.size() - 1 - tail] == lines[lines.size() - 1 - tail])
                ++tail;
            out += "\"splice\":{\"at\":" + std::to_string(head) +
                   ",\"remove\":" + std::to_string(lines.size() - head - tail) + ",\"lines\":";
            join(head, now.size() - tail);
            out += ',';
            links(out, text, static_cast<std::int32_t>(head), static_cast<std::int32_t>(now.size() - tail));
            out += "},";
        }
        lines = std::move(now);
        sent = true;
        selection = text.selection;
        version = text.version;
    }
    view(out, text);
    out += '}';
    return out;
}

} // namespace orbex::web
