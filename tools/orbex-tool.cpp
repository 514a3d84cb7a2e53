// orbex-tool: makes a magazine's files from sources people can edit, and
// checks a magazine folder. Exit status: 0 done, 1 a problem in the input,
// 2 a command line it does not understand.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "articles.h"
#include "check.h"
#include "commandline.h"
#include "common/codepage.h"
#include "edition.h"
#include "files.h"
#include "fontsource.h"
#include "images.h"
#include "magazine.h"
#include "preview.h"
#include "render.h"
#include "site.h"
#include "unpack.h"

namespace {

using orbex::Report;

constexpr int PROBLEM = 1;

int makeFont(const std::string &source, const std::string &target, Report &report) {
    std::vector<std::uint8_t> bytes;
    if (!orbex::readInput(source, bytes, report))
        return PROBLEM;
    Report parsed;
    auto glyphs = orbex::parseHexFont(std::string(bytes.begin(), bytes.end()), parsed);
    for (const std::string &e : parsed.errors)
        report.error(source + ": " + e);
    if (!report.ok())
        return PROBLEM;
    std::vector<std::uint8_t> font = orbex::buildFont(glyphs, report);
    return orbex::writeOutput(target, font, report) ? 0 : PROBLEM;
}

std::string lowerBaseName(const std::string &path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    for (char &c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

orbex::Fit fitOf(const std::string &name) {
    return name == "scale" ? orbex::Fit::Scale : name == "pad" ? orbex::Fit::Pad : orbex::Fit::None;
}

struct PcxOptions {
    std::string source, target, fit;
    bool pointer = false;
    bool dither = false;
};

int makePcx(const PcxOptions &options, Report &report) {
    std::vector<std::uint8_t> bytes;
    if (!orbex::readInput(options.source, bytes, report))
        return PROBLEM;
    orbex::Fit fit = fitOf(options.fit);
    // The pointer is asked for, or named as the viewer names it, or a 32x32
    // source that is not to be fitted can be nothing else.
    std::uint32_t width = 0, height = 0;
    bool pointer = options.pointer || lowerBaseName(options.target) == "cursor.pcx" ||
                   (fit == orbex::Fit::None && orbex::pngSize(bytes, width, height) && width == 32 && height == 32);
    orbex::PictureKind kind = pointer ? orbex::PictureKind::Pointer : orbex::PictureKind::Screen;
    orbex::RgbImage image;
    Report decoded;
    bool ok = orbex::decodePicture(bytes, kind, fit, image, decoded);
    for (const std::string &e : decoded.errors)
        report.error(options.source + ": " + e);
    if (!ok)
        return PROBLEM;
    if (pointer)
        for (int x = 0; x < 2; ++x)
            if (image.rgb[3 * x] + image.rgb[3 * x + 1] + image.rgb[3 * x + 2] != 0)
                report.warn(options.source + ": pixel (" + std::to_string(x) +
                            ", 0) is not black, but the viewer always shows it transparent");
    orbex::IndexedImage indexed = orbex::quantize(image, report, {options.dither, pointer});
    std::vector<std::uint8_t> pcx;
    if (!report.ok() || !orbex::encodePcx(indexed, pcx, report))
        return PROBLEM;
    return orbex::writeOutput(options.target, pcx, report) ? 0 : PROBLEM;
}

int makeRaw(const std::string &source, const std::string &target, const std::string &fit, Report &report) {
    orbex::RgbImage image;
    std::vector<std::uint8_t> raw;
    if (!orbex::readPicture(source, orbex::PictureKind::Screen, fitOf(fit), image, report) ||
        !orbex::encodeRaw(image, raw, report))
        return PROBLEM;
    return orbex::writeOutput(target, raw, report) ? 0 : PROBLEM;
}

int makeArchive(const std::string &folder, const std::string &target, Report &report) {
    std::vector<orbex::ArticleSource> sources;
    std::vector<std::uint8_t> archive;
    if (!orbex::loadArticleSources(folder, sources, report) || !orbex::buildArchive(sources, archive, report))
        return PROBLEM;
    return orbex::writeOutput(target, archive, report) ? 0 : PROBLEM;
}

int checkFolder(const std::string &folder, Report &report) {
    if (!orbex::checkMagazine(folder, report))
        return PROBLEM;
    std::printf("%s: ready%s\n", orbex::terminalText(folder).c_str(), report.warnings.empty() ? "" : ", with warnings");
    return 0;
}

const char *const FIT_HELP = "for a source of another size: scale (stretch it to the size) or pad (lay it "
                             "unscaled on black, centred; the pointer at the top left)";

// A subcommand as main runs it: its part of the command line, and the work
// once that part is parsed. The options live with the work.
struct Command {
    CLI::App *app;
    std::function<int(Report &)> run;
};

CLI::App *subcommand(CLI::App &app, const char *name, const char *summary, const char *help) {
    CLI::App *sub = app.add_subcommand(name, summary);
    sub->footer(help);
    return sub;
}

struct FileOptions {
    std::string source, target, fit;
};

Command fontCommand(CLI::App &app) {
    auto o = std::make_shared<FileOptions>();
    CLI::App *sub = subcommand(app, "font", "Makes the font data/chars.168 from a .hex file",
                               "Makes the 8x16 font data/chars.168 from a GNU-unifont-style .hex file\n"
                               "(lines XXXX:32 hex digits). Byte values map to Unicode through Windows-1252;\n"
                               "control bytes, the space and undefined bytes stay blank.\n");
    sub->add_option("SRC.hex", o->source, "the glyphs")->required();
    sub->add_option("OUT.168", o->target, "the font file to write")->required();
    return {sub, [o](Report &report) { return makeFont(o->source, o->target, report); }};
}

Command pcxCommand(CLI::App &app) {
    auto o = std::make_shared<PcxOptions>();
    CLI::App *sub = subcommand(app, "pcx", "Makes a PCX picture (end, background or pointer) from a PNG",
                               "Makes a 256-colour run-length PCX picture: data/ende.pcx and data/BG_8b.pcx\n"
                               "are 640x480; data/cursor.pcx is the 32x32 pointer, where pure black is\n"
                               "transparent. The pointer is meant when --pointer is given, when OUT is named\n"
                               "cursor.pcx, or when the source is 32x32 and not to be fitted. A source of\n"
                               "another size is refused unless --fit says what to do with it. Pictures with\n"
                               "up to 256 colours are kept exactly; more are reduced with libimagequant\n"
                               "(--dither spreads the error as a fine pattern). In the pointer, black pixels\n"
                               "stay pure black and no other pixel becomes pure black.\n");
    sub->add_option("IN.png", o->source, "the source picture")->required();
    sub->add_option("OUT.pcx", o->target, "the PCX file to write")->required();
    sub->add_flag("--pointer", o->pointer, "the picture is the 32x32 mouse pointer");
    sub->add_option("--fit", o->fit, FIT_HELP)->check(CLI::IsMember({"scale", "pad"}));
    sub->add_flag("--dither", o->dither, "dither when reducing to 256 colours (default: off)");
    return {sub, [o](Report &report) { return makePcx(*o, report); }};
}

Command rawCommand(CLI::App &app) {
    auto o = std::make_shared<FileOptions>();
    CLI::App *sub = subcommand(app, "raw", "Makes the start picture data/begin.raw from a PNG",
                               "Makes the start picture data/begin.raw: 640x480 pixels of red, green, blue.\n"
                               "A source of another size is refused unless --fit says what to do with it.\n");
    sub->add_option("IN.png", o->source, "the source picture")->required();
    sub->add_option("OUT.raw", o->target, "the raw picture to write")->required();
    sub->add_option("--fit", o->fit, FIT_HELP)->check(CLI::IsMember({"scale", "pad"}));
    return {sub, [o](Report &report) { return makeRaw(o->source, o->target, o->fit, report); }};
}

Command archiveCommand(CLI::App &app) {
    auto o = std::make_shared<FileOptions>();
    CLI::App *sub = subcommand(app, "archive", "Makes the article archive data/orbex.dat from article sources",
                               "Makes the article archive data/orbex.dat from SRC_DIR/NN-name.txt (UTF-8),\n"
                               "numbered 1, 2, 3, ...; article 1 is the contents page, F1 opens article 2.\n"
                               "An article starts with the lines \"Title: ...\" and \"Author: ...\" (at most 49\n"
                               "characters each); without them it is header-less, as the contents page is.\n"
                               "Markup:\n"
                               "  {colour R G B} or {colour #RRGGBB}       colour of the text that follows\n"
                               "  {link N L #RRGGBB #RRGGBB}text{/link}    open article N at line L (0..99);\n"
                               "                                           normal and pointed-at colour\n"
                               "  {music FILE #RRGGBB #RRGGBB}text{/music} play module FILE (<= 15 bytes)\n"
                               "  {{                                       a literal {\n"
                               "  {raw XX ...}                             bytes as they are, in hex\n"
                               "  {verbatim} (first line)                  no header made: the lines below\n"
                               "                                           are the record, lead byte first\n"
                               "  {no-separator} (end of the last source)  no 0x9E after the last record\n"
                               "Link texts hold at most 80 characters and stay on one line. Lines longer\n"
                               "than 76 columns are cut by the viewer in mid-word; the tool warns.\n"
                               "The escapes are what `orbex-tool unpack` writes where the markup cannot say\n"
                               "an archive's bytes; `unpack --help` tells more. At most 2277 sources (the last\n"
                               "article a link can reach) of 8 MiB together; none may be a symbolic link.\n");
    sub->add_option("SRC_DIR", o->source, "the folder of article sources")->required();
    sub->add_option("OUT.dat", o->target, "the archive to write")->required();
    return {sub, [o](Report &report) { return makeArchive(o->source, o->target, report); }};
}

Command unpackCommand(CLI::App &app) {
    auto o = std::make_shared<FileOptions>();
    CLI::App *sub = subcommand(app, "unpack", "Takes an article archive apart into article sources",
                               "The reverse of archive: writes one source per article of ARCHIVE into SRC_DIR\n"
                               "(made if missing; it must not hold article sources yet), so that\n"
                               "`orbex-tool archive SRC_DIR ARCHIVE` gives the very same bytes again.\n"
                               "Files are named NN-slug.txt: NN the article number (more digits past 99),\n"
                               "the slug the title in lower case with umlauts spelt out and other\n"
                               "characters as \"-\" (contents for a header-less first article, page for other\n"
                               "header-less ones, record for a verbatim one). The markup is the normal one\n"
                               "wherever it says the bytes exactly; what it cannot say is escaped:\n"
                               "  {raw XX ...}     bytes as they are, in hex: bytes without a Windows-1252\n"
                               "                   character, control bytes, carriage returns and 0x1A\n"
                               "                   (which the viewer drops or stops at), codes in odd places\n"
                               "                   (a colour code near the end, link codes without their\n"
                               "                   closing code or with odd digits, colour bytes that read\n"
                               "                   as \"]\"), the byte after a colour code that is another\n"
                               "  {verbatim}       as the first line: the record is the lines below byte for\n"
                               "                   byte, lead byte and header lines included (odd headers:\n"
                               "                   lead byte other than blank or \"d\", empty title, \"$\",\n"
                               "                   50-byte fields, missing empty line)\n"
                               "  {no-separator}   ends the last source: no 0x9E follows its record (the\n"
                               "                   bytes after the archive's last separator)\n"
                               "Archives larger than the viewer reads (1,048,575 bytes), or of more than the\n"
                               "2277 articles a link can reach, are refused.\n");
    sub->add_option("ARCHIVE", o->source, "the archive, e.g. data/orbex.dat, or a magazine's zip file (*.zip)")
        ->required();
    sub->add_option("SRC_DIR", o->target, "the folder to write the sources into")->required();
    return {sub, [o](Report &report) { return orbex::unpackArchiveFile(o->source, o->target, report) ? 0 : PROBLEM; }};
}

Command checkCommand(CLI::App &app) {
    auto folder = std::make_shared<std::string>();
    CLI::App *sub = subcommand(app, "check", "Checks a magazine folder or zip file",
                               "Checks a magazine folder: every file present with the size and form the\n"
                               "viewer expects, every link pointing at an existing article or module, and\n"
                               "every module loaded as the viewer loads it, once however many links name it.\n"
                               "Symbolic links and modules outside DIR are errors. DIR may be a zip file of\n"
                               "the magazine (its files at the top or in one folder); a zip the viewer would\n"
                               "refuse (an entry outside it, a link, an entry larger than the viewer reads,\n"
                               "damage) is an error before its files are checked.\n");
    sub->add_option("DIR", *folder, "the magazine folder or zip file")->required();
    return {sub, [folder](Report &report) { return checkFolder(*folder, report); }};
}

struct RenderOptions {
    std::string folder, target;
    int article = 1;
    float line = 0;
};

Command renderCommand(CLI::App &app) {
    auto o = std::make_shared<RenderOptions>();
    CLI::App *sub = subcommand(app, "render", "Draws a page of a magazine into a PNG, as the viewer shows it",
                               "Draws article ARTICLE of the magazine in DIR, from line LINE (default 0),\n"
                               "with the viewer's own code and no window, and saves the frame as a PNG.\n"
                               "No pointer, no music. LINE may be negative or fractional, as scrolling makes\n"
                               "it. It reads DIR/orbex.cfg as the viewer does and writes nothing into DIR.\n");
    sub->add_option("DIR", o->folder, "the magazine folder")->required();
    sub->add_option("ARTICLE", o->article, "the article's number")->required()->check(CLI::Range(1, 99));
    sub->add_option("OUT.png", o->target, "the picture to write")->required();
    sub->add_option("LINE", o->line, "the first line shown")->check(CLI::Range(-65536.0f, 65536.0f));
    return {sub, [o](Report &report) {
                return orbex::renderArticle(o->folder, o->article, o->line, o->target, report) ? 0 : PROBLEM;
            }};
}

struct ExportOptions {
    std::string folder, target;
    bool html = false, epub = false;
};

Command exportCommand(CLI::App &app) {
    auto o = std::make_shared<ExportOptions>();
    CLI::App *sub = subcommand(app, "export", "Writes the magazine as an accessible archive edition",
                               "With --html, writes the magazine in DIR as static HTML into the folder OUT\n"
                               "(made when missing): one page per article (index.html is the contents\n"
                               "page), each line of the picture a paragraph with its colours, article\n"
                               "links as links to the line they open, music links named, the start\n"
                               "picture as the cover (cover.png), all in UTF-8. With --epub, writes the\n"
                               "same pages as one EPUB 3 book into the file OUT (magazine.epub), the same\n"
                               "bytes for the same magazine (its date from SOURCE_DATE_EPOCH, if set).\n"
                               "The text is laid out by the viewer's own code.\n");
    sub->add_option("DIR", o->folder, "the magazine folder")->required();
    sub->add_option("OUT", o->target, "the folder (--html) or the book's file (--epub) to write")->required();
    CLI::Option_group *edition = sub->add_option_group("edition", "which edition to write (one of them)");
    edition->add_flag("--html", o->html, "static HTML pages in a folder");
    edition->add_flag("--epub", o->epub, "an EPUB 3 book in one file");
    edition->require_option(1);
    return {sub, [o](Report &report) {
                const bool written = o->epub ? orbex::exportEpub(o->folder, o->target, report)
                                             : orbex::exportHtml(o->folder, o->target, report);
                return written ? 0 : PROBLEM;
            }};
}

struct NewOptions {
    std::string folder;
    std::string title = "My Magazine";
};

Command newCommand(CLI::App &app) {
    auto o = std::make_shared<NewOptions>();
    CLI::App *sub = subcommand(app, "new", "Makes a small complete magazine with its sources, to start from",
                               "Makes a new magazine in DIR (which must not exist, or be empty): a contents\n"
                               "page, a help page (F1) and an article with links to articles and music,\n"
                               "start, end and background pictures showing the title, a pointer, the font\n"
                               "and two demo modules. Their sources go to DIR/src, the files the viewer\n"
                               "reads to DIR itself; edit the sources and run `orbex-tool build DIR`:\n"
                               "  DIR/src/articles/NN-name.txt  -> DIR/data/orbex.dat\n"
                               "  DIR/src/font.hex              -> DIR/data/chars.168\n"
                               "  DIR/src/pictures/begin.png    -> DIR/data/begin.raw\n"
                               "  DIR/src/pictures/ende.png     -> DIR/data/ende.pcx\n"
                               "  DIR/src/pictures/bg.png       -> DIR/data/BG_8b.pcx\n"
                               "  DIR/src/pictures/cursor.png   -> DIR/data/cursor.pcx\n"
                               "  DIR/src/music/*               -> DIR/* (extreme2.xm plays from the start)\n"
                               "Read it with: ORBEX_MAGAZINE=DIR orbex\n");
    sub->add_option("DIR", o->folder, "the folder of the new magazine")->required();
    sub->add_option("--title", o->title,
                    "the magazine's name, on its pictures and contents page (default: My Magazine)")
        ->check([](const std::string &value) {
            std::string why;
            return orbex::usableMagazineTitle(value, why) ? std::string() : why;
        });
    return {sub, [o](Report &report) {
                if (!orbex::newMagazine(o->folder, o->title, report))
                    return PROBLEM;
                const char *folder = o->folder.c_str();
                std::printf("%s: a new magazine, ready to read:\n  ORBEX_MAGAZINE=%s orbex\n"
                            "Its sources are in %s/src; after a change: orbex-tool build %s\n",
                            folder, folder, folder, folder);
                return 0;
            }};
}

struct BuildOptions {
    std::string folder;
    bool dither = false;
};

Command buildCommand(CLI::App &app) {
    auto o = std::make_shared<BuildOptions>();
    CLI::App *sub =
        subcommand(app, "build", "Makes every file of a magazine from its sources in DIR/src, then checks it",
                   "Makes every file the viewer reads from the sources in DIR/src, as\n"
                   "`orbex-tool new` lays them out (see new --help), then checks the magazine\n"
                   "as `orbex-tool check DIR` does. A step whose source has a problem writes\n"
                   "nothing; the others go on. Nothing inside DIR is taken through a symbolic\n"
                   "link: a linked data, src, source or module is refused.\n");
    sub->add_option("DIR", o->folder, "the magazine folder")->required();
    sub->add_flag("--dither", o->dither, "dither pictures reduced to 256 colours (default: off)");
    return {sub, [o](Report &report) {
                if (!orbex::buildMagazine(o->folder, o->dither, report))
                    return PROBLEM;
                std::printf("%s: built and ready%s\n", orbex::terminalText(o->folder).c_str(),
                            report.warnings.empty() ? "" : ", with warnings");
                return 0;
            }};
}

// site's and preview's web edition, defaulting to the installed one.
void addEditionOption(CLI::App *sub, std::string &edition) {
    edition = orbex::defaultEdition();
    sub->add_option("--edition", edition,
                    "the web edition to build from (default: ORBEX_WEB_EDITION, else " + edition + ")");
}

Command siteCommand(CLI::App &app) {
    auto o = std::make_shared<orbex::SiteRequest>();
    CLI::App *sub = subcommand(app, "site", "Makes the magazine's web edition: a site any web server can serve",
                               "Writes into OUT a site that shows the magazine in a web browser, as the viewer\n"
                               "shows it: the page, the viewer built for the browser, the music player, the\n"
                               "licences, and a copy of MAGAZINE in OUT/magazine. Given several magazines,\n"
                               "the site is a shelf of issues sharing the program: each in OUT/issues/NAME/\n"
                               "(NAME the folder's name, or the zip's without .zip), its start picture its\n"
                               "cover on OUT/shelf.html. A MAGAZINE is a folder or a zip file.\n"
                               "Only what a magazine uses is copied: the viewer's files, modules, text and\n"
                               "pictures, and the modules its music links name; never a link, nothing a\n"
                               "browser would run as a page. Each file left out is named. OUT/magazine/\n"
                               "files.txt lists what was copied (the magazine's own files.txt, where it has\n"
                               "one, in its order); files that compress well are stored gzipped. The site\n"
                               "works offline once opened. OUT is made when missing; it must be empty or a\n"
                               "site made before, and neither be a magazine nor hold one.\n"
                               "Put OUT on any web server, or try it: orbex-tool preview DIR.\n");
    // The site's folder comes last, after any number of magazines.
    sub->add_option("MAGAZINE... OUT", o->magazines, "the magazine folders or zip files, then the site's folder")
        ->required()
        ->expected(2, -1);
    addEditionOption(sub, o->edition);
    return {sub, [o](Report &report) {
                o->out = o->magazines.back();
                o->magazines.pop_back();
                if (!orbex::makeSite(*o, report))
                    return PROBLEM;
                std::printf("%s: the site, ready to serve\n", orbex::terminalText(o->out).c_str());
                return 0;
            }};
}

Command previewCommand(CLI::App &app) {
    auto o = std::make_shared<orbex::PreviewOptions>();
    CLI::App *sub = subcommand(app, "preview", "Shows a magazine project in the browser, built again after every save",
                               "Builds the project in DIR (as `orbex-tool build DIR`), makes its site (as\n"
                               "`orbex-tool site`) and serves it on 127.0.0.1 only, printing the address.\n"
                               "It watches DIR/src: after each save it builds again, and the page opens the\n"
                               "magazine again at the same article and line, without the start picture; the\n"
                               "music plays on when only text changed. A problem in a source is shown on the\n"
                               "page (file, line, message) over the last good build, and here. Ctrl+C ends it.\n");
    sub->add_option("DIR", o->folder, "the magazine project (as orbex-tool new makes it)")->required();
    sub->add_option("--port", o->port, "the port (default: a free one)")->check(CLI::Range(1, 65535));
    sub->add_flag("--open", o->open, "open the page in the reader's browser (xdg-open)");
    addEditionOption(sub, o->edition);
    return {sub, [o](Report &report) { return orbex::runPreview(*o, report); }};
}

// Runs a parsed command and tells what it found, warnings first.
int runCommand(const Command &command) {
    Report report;
    int status = command.run(report);
    const char *name = command.app->get_name().c_str();
    // Messages quote names and text from the files: escaped, so that no
    // byte of a hostile magazine reaches the terminal as a control.
    for (const std::string &w : report.warnings)
        std::fprintf(stderr, "orbex-tool %s: warning: %s\n", name, orbex::terminalText(w).c_str());
    for (const std::string &e : report.errors)
        std::fprintf(stderr, "orbex-tool %s: error: %s\n", name, orbex::terminalText(e).c_str());
    return status != 0 || !report.ok() ? PROBLEM : 0;
}

} // namespace

int main(int argc, char **argv) {
    CLI::App app{"Makes the files of an ORBEX 5 magazine from sources people can edit, and checks a magazine folder.",
                 "orbex-tool"};
    app.set_version_flag("--version", "orbex-tool " ORBEX_VERSION);
    app.footer("orbex-tool COMMAND --help tells more about a command.\n"
               "Exit status: 0 done, 1 a problem in the input, 2 a command line not understood.");
    const std::vector<Command> commands = {fontCommand(app),    pcxCommand(app),    rawCommand(app),
                                           archiveCommand(app), unpackCommand(app), checkCommand(app),
                                           renderCommand(app),  exportCommand(app), newCommand(app),
                                           buildCommand(app),   siteCommand(app),   previewCommand(app)};
    if (auto status =
            orbex::parseCommandLine(app, argc, argv, "orbex-tool --help and orbex-tool COMMAND --help tell more"))
        return *status;
    for (const Command &command : commands)
        if (command.app->parsed())
            return runCommand(command);
    std::fprintf(stderr, "%s", app.help().c_str());
    return orbex::USAGE;
}
