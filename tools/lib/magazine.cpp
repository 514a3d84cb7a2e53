#include "magazine.h"

#include <algorithm>
#include <vector>

#include "articles.h"
#include "artwork.h"
#include "check.h"
#include "demo_module.h"
#include "encoding.h"
#include "files.h"
#include "fontsource.h"
#include "images.h"

namespace orbex {

extern const char SAMPLE_FONT_HEX[];

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t MAX_TITLE = 60;

Bytes bytesOf(const std::string &text) { return Bytes(text.begin(), text.end()); }

std::string escapeMarkup(const std::string &text) {
    std::string out;
    for (char c : text)
        out += c == '{' ? std::string("{{") : std::string(1, c);
    return out;
}

std::string contentsPage(const std::string &title) {
    return "{colour #FFC850}" + escapeMarkup(title) +
           "{colour #FFFFFF}\n"
           "\n"
           "Welcome to the first issue! Move the mouse to the top or bottom edge of the\n"
           "screen and the page scrolls. Click a coloured entry to open it; the right\n"
           "mouse button always brings you back here.\n"
           "\n"
           "{colour #A0A0FF}Contents{colour #FFFFFF}\n"
           "\n"
           "   {link 3 0 #FFC850 #60FFFF}Make this magazine your own{/link}\n"
           "   {link 3 18 #FFC850 #60FFFF}   ... and change the music{/link}\n"
           "   {link 2 0 #FFC850 #60FFFF}How to use the viewer (also F1){/link}\n"
           "\n"
           "{colour #8080A0}Page Up, Page Down, Home, End and the arrow keys scroll the page.\n"
           "F2 saves the article as save.txt, F12 ends the magazine.\n";
}

const char *const HELP_PAGE = "Title: Help\n"
                              "Author: The editors\n"
                              "\n"
                              "{colour #FFC850}How to use the viewer{colour #FFFFFF}\n"
                              "\n"
                              "Mouse\n"
                              "  pointer at the top or bottom edge    the page scrolls\n"
                              "  left button on a link                open the article, change the music\n"
                              "  right button                         back to the contents; there: the end\n"
                              "\n"
                              "Keys\n"
                              "  Page Up / Page Down                  a page back / on\n"
                              "  Home / End                           start / end of the article\n"
                              "  Up / Down                            a line back / on\n"
                              "  keypad 2, 4, 6, 8                    move the pointer (start with k)\n"
                              "  Space                                click the link under the pointer\n"
                              "  F1                                   this help\n"
                              "  F2                                   save the article as save.txt\n"
                              "  F5                                   pointer on/off\n"
                              "  F9                                   frame rate on/off\n"
                              "  F12                                  end the magazine\n"
                              "\n"
                              "{colour #8080A0}Start the viewer with the letter n for silence, l for a log in "
                              "orbex.log\n"
                              "and k without the mouse.\n"
                              "\n"
                              "{colour #FFFFFF}Back to the {link 1 0 #FFC850 #60FFFF}contents{/link}\n";

const char *const FIRST_ARTICLE =
    "Title: Make this magazine your own\n"
    "Author: The editors\n"
    "\n"
    "{colour #FFC850}Everything here comes from files you can edit{colour #FFFFFF}\n"
    "\n"
    "The folder src holds the sources of this issue:\n"
    "\n"
    "  src/articles/NN-name.txt   the articles, numbered 1, 2, 3, ...\n"
    "  src/pictures/*.png         start (begin), end (ende), background (bg)\n"
    "                             and pointer (cursor) pictures\n"
    "  src/font.hex               the font, 8x16 glyphs in GNU Unifont form\n"
    "  src/music/*                the modules, copied beside the magazine\n"
    "\n"
    "Change them and run {colour #A0A0FF}orbex-tool build{colour #FFFFFF} with the magazine's folder;\n"
    "it makes every file the viewer reads and checks them.\n"
    "\n"
    "{colour #A0A0FF}Colours and links{colour #FFFFFF}\n"
    "\n"
    "A word in {colour #FF6060}red{colour #FFFFFF} is written {{colour #FF6060}red{{colour #FFFFFF}.\n"
    "A link to another article: {{link 1 0 #FFC850 #60FFFF}text{{/link}.\n"
    "\n"
    "{colour #A0A0FF}Music{colour #FFFFFF}\n"
    "\n"
    "A music link plays another module instead of the one playing. Try it:\n"
    "\n"
    "   {music calm.xm #60FF90 #FFFF60}Something calmer, please{/music}\n"
    "   {music extreme2.xm #60FF90 #FFFF60}Back to the start music{/music}\n"
    "\n"
    "Back to the {link 1 0 #FFC850 #60FFFF}contents{/link}\n";

const char *const SOURCES_README = "The sources of the magazine in the folder above this one.\n"
                                   "\n"
                                   "After a change, rebuild it:   orbex-tool build FOLDER\n"
                                   "Read it:                      ORBEX_MAGAZINE=FOLDER orbex\n"
                                   "\n"
                                   "  articles/NN-name.txt  the articles, UTF-8    -> data/orbex.dat\n"
                                   "                        (markup: orbex-tool archive --help)\n"
                                   "  font.hex              8x16 glyphs            -> data/chars.168\n"
                                   "  pictures/begin.png    640x480 start picture  -> data/begin.raw\n"
                                   "  pictures/ende.png     640x480 end picture    -> data/ende.pcx\n"
                                   "  pictures/bg.png       640x480 background     -> data/BG_8b.pcx\n"
                                   "  pictures/cursor.png   32x32 pointer, pure black transparent -> data/cursor.pcx\n"
                                   "  music/*               modules, copied beside data/; extreme2.xm plays first\n";

// What a step found, added to the whole build's report.
void merge(Report &into, const Report &from) {
    into.errors.insert(into.errors.end(), from.errors.begin(), from.errors.end());
    into.warnings.insert(into.warnings.end(), from.warnings.begin(), from.warnings.end());
}

void buildArchiveFile(const Folder &src, const Folder &data, Report &report) {
    Report step;
    std::vector<ArticleSource> sources;
    Folder articles;
    std::string why;
    Bytes archive;
    if (!src.sub("articles", articles, false, why))
        step.error(why);
    else if (loadArticleSources(articles, sources, step) && buildArchive(sources, archive, step) &&
             !data.write("orbex.dat", archive, why))
        step.error(why);
    merge(report, step);
}

void buildFontFile(const Folder &src, const Folder &data, Report &report) {
    Bytes hex;
    FileRead read = src.read("font.hex", hex);
    if (read.result != ReadResult::Ok) {
        report.error(src.problem(read));
        return;
    }
    Report parsed;
    auto glyphs = parseHexFont(std::string(hex.begin(), hex.end()), parsed);
    for (const std::string &e : parsed.errors)
        report.error(src.pathOf("font.hex") + ": " + e);
    std::string why;
    if (parsed.ok() && !data.write("chars.168", buildFont(glyphs, report), why))
        report.error(why);
}

void buildPictures(const Folder &src, const Folder &data, bool dither, Report &report) {
    RgbImage image;
    Bytes out;
    Report start;
    std::string why;
    if (readPicture(src, "pictures/begin.png", PictureKind::Screen, Fit::None, image, start) &&
        encodeRaw(image, out, start) && !data.write("begin.raw", out, why))
        start.error(why);
    merge(report, start);
    struct Pcx {
        const char *source, *target;
        PictureKind kind;
    } pictures[] = {{"pictures/ende.png", "ende.pcx", PictureKind::Screen},
                    {"pictures/bg.png", "BG_8b.pcx", PictureKind::Screen},
                    {"pictures/cursor.png", "cursor.pcx", PictureKind::Pointer}};
    for (const Pcx &p : pictures) {
        Report step;
        std::string path = src.pathOf(p.source);
        if (readPicture(src, p.source, p.kind, Fit::None, image, step)) {
            Report colours;
            IndexedImage indexed = quantize(image, colours, {dither, p.kind == PictureKind::Pointer});
            for (const std::string &w : colours.warnings)
                step.warn(path + ": " + w);
            for (const std::string &e : colours.errors)
                step.error(path + ": " + e);
            if (step.ok() && encodePcx(indexed, out, step) && !data.write(p.target, out, why))
                step.error(why);
        }
        merge(report, step);
    }
}

// The modules go beside data/ as they are; a link among them is refused, so
// nothing from outside the project ends up in the magazine handed out.
void copyModules(const Folder &src, const Folder &magazine, Report &report) {
    Folder music;
    std::vector<std::string> names;
    std::string why;
    if (!src.sub("music", music, false, why) || !music.list(names)) {
        report.error(why.empty() ? src.pathOf("music") + ": cannot read the folder" : why);
        return;
    }
    std::sort(names.begin(), names.end());
    for (const std::string &name : names) {
        Bytes module;
        FileRead read = music.read(name, module);
        if (read.result != ReadResult::Ok)
            report.error(music.problem(read));
        else if (!magazine.write(name, module, why))
            report.error(why);
    }
}

bool buildMagazine(const Folder &magazine, bool dither, const BuildSteps &steps, Report &report) {
    Folder src, data;
    std::string why;
    if (!magazine.sub(SOURCES_FOLDER, src, false, why)) {
        bool missing = why == magazine.pathOf(SOURCES_FOLDER) + ": missing";
        report.error(missing ? magazine.pathOf(SOURCES_FOLDER) +
                                   ": no sources here (orbex-tool new makes a magazine with them)"
                             : why);
        return false;
    }
    if (!magazine.sub("data", data, true, why)) {
        report.error(why);
        return false;
    }
    if (steps.archive)
        buildArchiveFile(src, data, report);
    if (steps.font)
        buildFontFile(src, data, report);
    if (steps.pictures)
        buildPictures(src, data, dither, report);
    if (steps.music)
        copyModules(src, magazine, report);
    if (!report.ok())
        return false;
    Report check;
    bool ready = checkMagazine(magazine, check);
    for (const std::string &e : check.errors)
        report.error(magazine.path() + ": " + e);
    for (const std::string &w : check.warnings)
        report.warn(magazine.path() + ": " + w);
    return ready;
}

} // namespace

bool usableMagazineTitle(const std::string &utf8, std::string &why) {
    std::size_t characters = 0;
    for (std::size_t pos = 0; pos < utf8.size(); ++characters) {
        std::uint32_t cp = 0;
        if (!nextUtf8(utf8, pos, cp)) {
            why = "not UTF-8";
            return false;
        }
        int b = cp1252Byte(cp);
        if (b < 0) {
            why = "\"" + utf8Of(cp) + "\" has no Windows-1252 character";
            return false;
        }
        if (b < 0x20 || b == 0x7F || b == ARTICLE_SEPARATOR || b == ARTICLE_LINK_CODE || b == COLOUR_CODE ||
            b == MUSIC_LINK_CODE) {
            why = "\"" + utf8Of(cp) + "\" cannot stand in a magazine's text";
            return false;
        }
    }
    if (characters == 0 || characters > MAX_TITLE) {
        why = "1 to " + std::to_string(MAX_TITLE) + " characters, please";
        return false;
    }
    return true;
}

bool buildMagazine(const std::string &folder, bool dither, Report &report) {
    return buildMagazine(folder, dither, BuildSteps{}, report);
}

bool buildMagazine(const std::string &folder, bool dither, const BuildSteps &steps, Report &report) {
    Folder magazine;
    return givenFolder(folder, magazine, report) && buildMagazine(magazine, dither, steps, report);
}

bool newMagazine(const std::string &folder, const std::string &title, Report &report) {
    Folder magazine, src;
    std::vector<std::string> names;
    std::string why;
    if (!Folder::made(folder, magazine, why)) {
        report.error(why);
        return false;
    }
    if (!magazine.list(names) || !names.empty()) {
        report.error(folder + ": exists and is not an empty folder");
        return false;
    }
    for (const char *sub : {"src/articles", "src/pictures", "src/music"})
        if (!magazine.sub(sub, src, true, why)) {
            report.error(why);
            return false;
        }
    magazine.sub(SOURCES_FOLDER, src, false, why);
    Report font;
    Glyphs glyphs = parseHexFont(SAMPLE_FONT_HEX, font);
    struct File {
        std::string path;
        Bytes bytes;
    } files[] = {
        {"articles/01-contents.txt", bytesOf(contentsPage(title))},
        {"articles/02-help.txt", bytesOf(HELP_PAGE)},
        {"articles/03-your-magazine.txt", bytesOf(FIRST_ARTICLE)},
        {"font.hex", bytesOf(SAMPLE_FONT_HEX)},
        {"music/extreme2.xm", demoModule(1)},
        {"music/calm.xm", demoModule(0)},
        {"README.txt", bytesOf(SOURCES_README)},
    };
    for (const File &f : files)
        if (!src.write(f.path, f.bytes, why)) {
            report.error(why);
            return false;
        }
    struct Picture {
        const char *name;
        RgbImage image;
    } pictures[] = {{"pictures/begin.png", drawStartPicture(glyphs, title)},
                    {"pictures/ende.png", drawEndPicture(glyphs, title)},
                    {"pictures/bg.png", drawBackgroundPicture(glyphs, title)},
                    {"pictures/cursor.png", drawPointerPicture()}};
    for (const Picture &p : pictures) {
        Bytes png;
        if (!encodePng(p.image, png) || !src.write(p.name, png, why)) {
            report.error(why.empty() ? src.pathOf(p.name) + ": cannot write" : why);
            return false;
        }
    }
    return buildMagazine(magazine, false, BuildSteps{}, report);
}

} // namespace orbex
