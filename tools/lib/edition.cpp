#include "edition.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "base/settings.h"
#include "common/articletext.h"
#include "common/codepage.h"
#include "common/geometry.h"
#include "display/display.h"
#include "files.h"
#include "images.h"
#include "platform/headless/headless.h"
#include "platform/install.h"
#include "present/pagetext.h"
#include "shell/startup.h"
#include "text/archive.h"

namespace orbex {

namespace {

std::string escaped(const std::string &utf8) {
    std::string out;
    for (char c : utf8) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string hexColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%02x%02x%02x", red, green, blue);
    return hex;
}

bool reachable(const TextLink &link, std::int32_t articles) {
    return !link.music && link.target >= 1 && link.target <= articles;
}

std::string linkClosing(const TextLink &link, std::int32_t articles) {
    return reachable(link, articles) ? "</a>" : "</span>";
}

std::string linkOpening(const TextLink &link, std::int32_t articles) {
    if (link.music)
        return "<span class=\"music\" title=\"Music: " + escaped(cp1252ToUtf8(link.module)) + "\">";
    // A number outside the magazine selects an empty page in the viewer.
    if (!reachable(link, articles))
        return "<span class=\"dead\">";
    return "<a href=\"" + editionPage(link.target) + "#l" + std::to_string(link.targetLine) + "\">";
}

// One line: its characters in their colours, a link's text inside its link,
// the empty column after a link as a space (as the page shows it).
std::string lineHtml(const ArticleText &text, std::int32_t line, std::int32_t articles) {
    const TextLine &here = text.lines[line];
    const std::int32_t end = text.lines[line + 1].firstCell;
    std::int32_t next = line == 0 || here.afterLineFeed ? 1 : 0;
    std::string out = "<p id=\"l" + std::to_string(line) + "\">";
    std::int32_t openLink = NO_LINK;
    std::string colour;
    for (std::int32_t c = here.firstCell; c < end; ++c) {
        const TextCell &cell = text.cells[c];
        for (; next < cell.column; ++next)
            out += ' ';
        if (cell.link != openLink) {
            if (!colour.empty())
                out += "</span>";
            colour.clear();
            if (openLink != NO_LINK)
                out += linkClosing(text.links[openLink], articles);
            openLink = cell.link;
            if (openLink != NO_LINK)
                out += linkOpening(text.links[openLink], articles);
        }
        const std::string cellColour = hexColour(cell.red, cell.green, cell.blue);
        if (cellColour != colour && cell.code != ' ') {
            if (!colour.empty())
                out += "</span>";
            colour = cellColour;
            out += "<span style=\"color:" + colour + "\">";
        }
        out += escaped(utf8Of(textCodePoint(cell.code)));
        next = next > cell.column ? next + 1 : cell.column + 1;
    }
    if (!colour.empty())
        out += "</span>";
    if (openLink != NO_LINK)
        out += linkClosing(text.links[openLink], articles);
    return out + "</p>\n";
}

std::string pageHtml(const ArticleText &text, std::int32_t number, std::int32_t articles, bool cover) {
    const std::string title = number == 1 || text.title[0] == 0 ? "Inhalt" : cp1252ToUtf8(text.title);
    std::string out = "<!doctype html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\">\n"
                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
                      escaped(title) + "</title>\n<link rel=\"stylesheet\" href=\"edition.css\">\n</head>\n<body>\n";
    if (number != 1)
        out += "<nav><a href=\"index.html\">Inhalt</a></nav>\n";
    out += "<main>\n";
    if (cover)
        out += "<img class=\"cover\" src=\"cover.png\" width=\"640\" height=\"480\" alt=\"Titelbild\">\n";
    out += "<h1>" + escaped(title) + "</h1>\n";
    if (text.author[0] != 0)
        out += "<p class=\"author\">Autor: " + escaped(cp1252ToUtf8(text.author)) + "</p>\n";
    out += "<div class=\"text\">\n";
    for (std::int32_t line = 0; line < text.lineCount; ++line)
        out += lineHtml(text, line, articles);
    out += "</div>\n</main>\n</body>\n</html>\n";
    return out;
}

constexpr const char *STYLE =
    "body { background: #000; color: #fff; margin: 1em auto; max-width: 80ch; }\n"
    ".text p { margin: 0; min-height: 1.2em; white-space: pre-wrap; font-family: monospace; }\n"
    "a { color: inherit; } .music { text-decoration: underline dotted; }\n"
    "img.cover { max-width: 100%; height: auto; }\n";

std::vector<std::uint8_t> bytesOf(const std::string &text) { return {text.begin(), text.end()}; }

} // namespace

std::string editionPage(int number) {
    return number == 1 ? "index.html" : "article-" + std::to_string(number) + ".html";
}

bool exportHtml(const std::string &folder, const std::string &outFolder, Report &report) {
    Folder magazine, out;
    std::string why;
    if (!Folder::made(outFolder, out, why) || !Folder::given(folder, magazine, why)) {
        report.error(why);
        return false;
    }
    std::vector<std::uint8_t> raw;
    const bool cover = magazine.read("data/begin.raw", raw).result == ReadResult::Ok &&
                       raw.size() == static_cast<std::size_t>(SCREENWIDTH * SCREENHEIGHT * 3);
    if (fchdir(magazine.descriptor()) != 0) {
        report.error(folder + ": cannot enter the folder");
        return false;
    }
    installBackend(headless::BACKEND, false);
    bMusicOn = 0;
    bMouseOn = 0;
    bool ok = initEngine(nullptr, nullptr, nullptr, SW_SHOWDEFAULT) != 0 && bQuitRequest == 0;
    for (const std::string &text : headless::messageBoxes())
        report.error("the viewer says: " + cp1252ToUtf8(text.c_str()));
    if (!ok) {
        report.error("the viewer could not start on this folder");
        releaseDisplayObjects();
        return false;
    }
    loadArchive();
    // Every record ends with a separator, which never stands inside one.
    const auto articles = static_cast<std::int32_t>(std::count(ArticleArchive.begin(), ArticleArchive.end(), 0x9E));
    for (std::int32_t number = 1; number <= articles && ok; ++number) {
        nArticle = number;
        selectArticle(number);
        const ArticleText &text = articleTextAt(0.0f);
        ok = out.write(editionPage(number), bytesOf(pageHtml(text, number, articles, cover && number == 1)), why);
    }
    if (ok && cover) {
        RgbImage picture{SCREENWIDTH, SCREENHEIGHT, raw};
        std::vector<std::uint8_t> png;
        ok = encodePng(picture, png) && out.write("cover.png", png, why);
    }
    if (ok)
        ok = out.write("edition.css", bytesOf(STYLE), why);
    if (!ok)
        report.error(why.empty() ? outFolder + ": cannot write" : why);
    releaseDisplayObjects();
    return ok;
}

} // namespace orbex
