#include "edition.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "base/settings.h"
#include "common/articletext.h"
#include "common/codepage.h"
#include "common/geometry.h"
#include "display/display.h"
#include "epub.h"
#include "files.h"
#include "images.h"
#include "platform/headless/headless.h"
#include "platform/install.h"
#include "present/pagetext.h"
#include "render.h"
#include "shell/startup.h"
#include "text/archive.h"

namespace orbex {

namespace {

// The two editions' pages differ only in their outer form: XHTML for the
// book, which is XML, HTML for the browser.
enum class Markup { Html, Xhtml };

std::string pageName(std::int32_t number, Markup markup) {
    const std::string extension = markup == Markup::Html ? ".html" : ".xhtml";
    return (number == 1 ? "index" : "article-" + std::to_string(number)) + extension;
}

std::string hexColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%02x%02x%02x", red, green, blue);
    return hex;
}

// What the pages link to: the magazine's articles and their line counts.
struct Contents {
    std::vector<std::int32_t> lineCounts; // of article n at n - 1
    Markup markup = Markup::Html;

    std::int32_t articles() const { return static_cast<std::int32_t>(lineCounts.size()); }
    bool reachable(const TextLink &link) const { return !link.music && link.target >= 1 && link.target <= articles(); }
};

std::string linkClosing(const TextLink &link, const Contents &contents) {
    return contents.reachable(link) ? "</a>" : "</span>";
}

std::string linkOpening(const TextLink &link, const Contents &contents) {
    if (link.music)
        return "<span class=\"music\" title=\"Music: " + xmlEscaped(cp1252ToUtf8(link.module)) + "\">";
    // A number outside the magazine selects an empty page in the viewer.
    if (!contents.reachable(link))
        return "<span class=\"dead\">";
    // The viewer scrolls no further than the last line; a line past it has
    // no paragraph to point at.
    const std::int32_t lines = contents.lineCounts[static_cast<std::size_t>(link.target - 1)];
    const std::int32_t line = std::min(link.targetLine, lines - 1);
    return "<a href=\"" + pageName(link.target, contents.markup) +
           (line >= 0 ? "#l" + std::to_string(line) : std::string()) + "\">";
}

// One line: its characters in their colours, a link's text inside its link,
// the empty column after a link as a space (as the page shows it).
std::string lineHtml(const ArticleText &text, std::int32_t line, const Contents &contents) {
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
                out += linkClosing(text.links[openLink], contents);
            openLink = cell.link;
            if (openLink != NO_LINK)
                out += linkOpening(text.links[openLink], contents);
        }
        const std::string cellColour = hexColour(cell.red, cell.green, cell.blue);
        if (cellColour != colour && cell.code != ' ') {
            if (!colour.empty())
                out += "</span>";
            colour = cellColour;
            out += "<span style=\"color:" + colour + "\">";
        }
        out += xmlEscaped(utf8Of(textCodePoint(cell.code)));
        next = next > cell.column ? next + 1 : cell.column + 1;
    }
    if (!colour.empty())
        out += "</span>";
    if (openLink != NO_LINK)
        out += linkClosing(text.links[openLink], contents);
    return out + "</p>\n";
}

std::string articleTitle(const ArticleText &text, std::int32_t number) {
    if (number == 1)
        return "Inhalt";
    return text.title[0] != 0 ? cp1252ToUtf8(text.title) : "Artikel " + std::to_string(number);
}

std::string pageHtml(const ArticleText &text, std::int32_t number, const Contents &contents, bool cover) {
    const std::string title = articleTitle(text, number);
    std::string out = contents.markup == Markup::Html
                          ? "<!doctype html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\"/>\n"
                            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n"
                          : "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
                            "<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"de\" xml:lang=\"de\">\n<head>\n"
                            "<meta charset=\"utf-8\"/>\n";
    out +=
        "<title>" + xmlEscaped(title) + "</title>\n<link rel=\"stylesheet\" href=\"edition.css\"/>\n</head>\n<body>\n";
    if (number != 1)
        out += "<nav><a href=\"" + pageName(1, contents.markup) + "\">Inhalt</a></nav>\n";
    out += "<main>\n";
    if (cover)
        out += "<img class=\"cover\" src=\"cover.png\" width=\"640\" height=\"480\" alt=\"Titelbild\"/>\n";
    out += "<h1>" + xmlEscaped(title) + "</h1>\n";
    if (text.author[0] != 0)
        out += "<p class=\"author\">Autor: " + xmlEscaped(cp1252ToUtf8(text.author)) + "</p>\n";
    out += "<div class=\"text\">\n";
    for (std::int32_t line = 0; line < text.lineCount; ++line)
        out += lineHtml(text, line, contents);
    out += "</div>\n</main>\n</body>\n</html>\n";
    return out;
}

constexpr const char *STYLE =
    "body { background: #000; color: #fff; margin: 1em auto; max-width: 80ch; }\n"
    ".text p { margin: 0; min-height: 1.2em; white-space: pre-wrap; font-family: monospace; }\n"
    "a { color: inherit; } .music { text-decoration: underline dotted; }\n"
    "img.cover { max-width: 100%; height: auto; }\n";

std::vector<std::uint8_t> bytesOf(const std::string &text) { return {text.begin(), text.end()}; }

struct EditionPage {
    std::string name, title, markup;
};

// The edition as the viewer lays it out, before it is written anywhere.
struct Edition {
    std::vector<EditionPage> pages;   // in the magazine's order, the contents first
    std::vector<std::uint8_t> cover;  // a PNG, empty without a start picture
    std::vector<std::uint8_t> source; // the magazine's text and start picture, which name the book
    std::string firstLine;            // the contents page's first words, the book's title
};

std::string trimmed(const std::string &text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Starts the viewer in folder and lays out every article. The working
// folder is the magazine's afterwards, as the viewer needs it.
bool layOut(const std::string &folder, Markup markup, Edition &edition, Report &report) {
    Folder magazine;
    std::string why;
    if (!Folder::given(folder, magazine, why)) {
        report.error(why);
        return false;
    }
    std::vector<std::uint8_t> raw;
    const bool cover = magazine.read("data/begin.raw", raw).result == ReadResult::Ok &&
                       raw.size() == static_cast<std::size_t>(SCREENWIDTH * SCREENHEIGHT * 3);
    if (!startViewerIn(magazine, folder, report))
        return false;
    loadArchive();
    // Every record ends with a separator, which never stands inside one.
    const auto articles = static_cast<std::int32_t>(std::count(ArticleArchive.begin(), ArticleArchive.end(), 0x9E));
    Contents contents;
    contents.markup = markup;
    for (std::int32_t number = 1; number <= articles; ++number) {
        nArticle = number;
        selectArticle(number);
        contents.lineCounts.push_back(articleTextAt(0.0f).lineCount);
    }
    for (std::int32_t number = 1; number <= articles; ++number) {
        nArticle = number;
        selectArticle(number);
        const ArticleText &text = articleTextAt(0.0f);
        edition.pages.push_back({pageName(number, markup), articleTitle(text, number),
                                 pageHtml(text, number, contents, cover && number == 1)});
        for (std::int32_t line = 0; number == 1 && line < text.lineCount && edition.firstLine.empty(); ++line)
            edition.firstLine = trimmed(lineUtf8(text, line));
    }
    edition.source.assign(ArticleArchive.begin(), ArticleArchive.end());
    bool ok = true;
    if (cover) {
        edition.source.insert(edition.source.end(), raw.begin(), raw.end());
        RgbImage picture{SCREENWIDTH, SCREENHEIGHT, raw};
        ok = encodePng(picture, edition.cover);
        if (!ok)
            report.error(folder + ": cannot encode the cover");
    }
    releaseDisplayObjects();
    return ok;
}

} // namespace

std::string editionPage(int number) { return pageName(number, Markup::Html); }

bool exportHtml(const std::string &folder, const std::string &outFolder, Report &report) {
    Folder out;
    std::string why;
    if (!Folder::made(outFolder, out, why)) {
        report.error(why);
        return false;
    }
    Edition edition;
    if (!layOut(folder, Markup::Html, edition, report))
        return false;
    bool ok = true;
    for (const EditionPage &page : edition.pages)
        ok = ok && out.write(page.name, bytesOf(page.markup), why);
    if (ok && !edition.cover.empty())
        ok = out.write("cover.png", edition.cover, why);
    if (ok)
        ok = out.write("edition.css", bytesOf(STYLE), why);
    if (!ok)
        report.error(why.empty() ? outFolder + ": cannot write" : why);
    return ok;
}

bool exportEpub(const std::string &folder, const std::string &outFile, Report &report) {
    // The place is taken before the viewer moves into the magazine's folder,
    // so a relative name means what the user meant.
    Folder out;
    std::string name, why;
    Book book;
    if (!Folder::receiving(outFile, out, name, why) || !bookDate(book.modified, why)) {
        report.error(why);
        return false;
    }
    Edition edition;
    if (!layOut(folder, Markup::Xhtml, edition, report))
        return false;
    book.identifier = uuidUrnOf(edition.source);
    book.title = edition.firstLine.empty() ? "Inhalt" : edition.firstLine;
    book.language = "de";
    for (EditionPage &page : edition.pages)
        book.pages.push_back({page.name, page.title, bytesOf(page.markup)});
    book.files.push_back({"edition.css", "text/css", bytesOf(STYLE)});
    if (!edition.cover.empty()) {
        book.files.push_back({"cover.png", "image/png", std::move(edition.cover)});
        book.cover = "cover.png";
    }
    std::vector<std::uint8_t> bytes;
    if (!packEpub(book, bytes, why)) {
        report.error(outFile + ": " + why);
        return false;
    }
    if (!out.write(name, bytes, why)) {
        report.error(why);
        return false;
    }
    return true;
}

} // namespace orbex
