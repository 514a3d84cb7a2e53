#include "edition.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "articles.h"
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
    std::string out = "<p id=\"l" + std::to_string(line) + "\">";
    std::int32_t openLink = NO_LINK;
    std::string colour;
    forEachRun(text, line, [&](const TextRun &run) {
        out += xmlEscaped(run.utf8.substr(0, run.firstCellAt));
        if (run.link != openLink) {
            if (!colour.empty())
                out += "</span>";
            colour.clear();
            if (openLink != NO_LINK)
                out += linkClosing(text.links[openLink], contents);
            openLink = run.link;
            if (openLink != NO_LINK)
                out += linkOpening(text.links[openLink], contents);
        }
        // Spaces before its first character stay in the colour before it.
        out += xmlEscaped(run.utf8.substr(run.firstCellAt, run.shownFrom - run.firstCellAt));
        const std::string runColour = hexColour(run.red, run.green, run.blue);
        if (run.shownFrom < run.utf8.size() && runColour != colour) {
            if (!colour.empty())
                out += "</span>";
            colour = runColour;
            out += "<span style=\"color:" + colour + "\">";
        }
        out += xmlEscaped(run.utf8.substr(run.shownFrom));
    });
    if (!colour.empty())
        out += "</span>";
    if (openLink != NO_LINK)
        out += linkClosing(text.links[openLink], contents);
    return out + "</p>\n";
}

// What a line of text shows: control characters as spaces, as the page
// shows them, and no space at either end.
std::string visible(std::string text) {
    for (char &c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// An article's title as a page and a book name it; one that shows nothing
// (none, or only spaces and control characters, which would make an empty
// heading and an invalid book) gets the stand-in an untitled article has.
std::string articleTitle(const ArticleText &text, std::int32_t number) {
    if (number == 1)
        return "Inhalt";
    const std::string title = visible(cp1252ToUtf8(text.title));
    return !title.empty() ? title : "Artikel " + std::to_string(number);
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

// Where each article the viewer shows begins, as unpack counts them: one
// record after each separator but the last, and the stretch behind the last
// one when it holds anything, or when there is no separator at all (the
// viewer shows that stretch too); none for an empty archive. One pass, so
// that an archive of many articles costs its length.
std::vector<std::size_t> recordStarts() {
    std::vector<std::size_t> starts;
    const std::size_t end = archiveState.archiveEnd;
    if (end == 0)
        return starts;
    starts.push_back(0);
    for (std::size_t p = 0; p < end; ++p)
        if (ArticleArchive[p] == ARTICLE_SEPARATOR)
            starts.push_back(p + 1);
    if (starts.size() > 1 && starts.back() == end)
        starts.pop_back();
    return starts;
}

// Starts the viewer in folder and lays out every article. The working
// folder is the magazine's afterwards, as the viewer needs it. The viewer's
// start steps in their order, each with its own refusal, in one place.
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
    // The viewer's readers read as the tools do: no link, regular files
    // only; one of its files in a link's place is named, not taken as missing.
    for (const char *name :
         {"data/orbex.dat", "data/chars.168", "data/begin.raw", "data/ende.pcx", "data/BG_8b.pcx", "data/cursor.pcx"}) {
        std::vector<std::uint8_t> none;
        const FileRead found = magazine.read(name, none, 0, ReadMode::Head);
        if (found.result != ReadResult::Ok && found.result != ReadResult::Missing) {
            report.error(magazine.problem(found));
            return false;
        }
    }
    ReadingThrough strict(magazine);
    if (!startViewerIn(magazine, folder, report))
        return false;
    loadArchive();
    std::vector<std::size_t> starts = recordStarts();
    if (starts.empty()) {
        report.error(folder + ": data/orbex.dat holds no article, so there is no edition to make");
        releaseDisplayObjects();
        return false;
    }
    if (starts.size() > MAX_ARTICLES) {
        report.warn(folder + ": data/orbex.dat holds " + std::to_string(starts.size()) +
                    " articles; a link reaches no article past " + std::to_string(MAX_ARTICLES) +
                    ", so the edition ends there");
        starts.resize(MAX_ARTICLES);
    }
    const auto articles = static_cast<std::int32_t>(starts.size());
    auto select = [&](std::int32_t number) {
        nArticle = number;
        takeRecord(starts[static_cast<std::size_t>(number - 1)], number);
    };
    Contents contents;
    contents.markup = markup;
    for (std::int32_t number = 1; number <= articles; ++number) {
        select(number);
        contents.lineCounts.push_back(articleTextAt(0.0f).lineCount);
    }
    for (std::int32_t number = 1; number <= articles; ++number) {
        select(number);
        const ArticleText &text = articleTextAt(0.0f);
        edition.pages.push_back({pageName(number, markup), articleTitle(text, number),
                                 pageHtml(text, number, contents, cover && number == 1)});
        for (std::int32_t line = 0; number == 1 && line < text.lineCount && edition.firstLine.empty(); ++line)
            edition.firstLine = visible(lineUtf8(text, line));
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
