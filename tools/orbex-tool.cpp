// orbex-tool: makes a magazine's files from sources people can edit, and
// checks a magazine folder.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "articles.h"
#include "check.h"
#include "fontsource.h"
#include "images.h"
#include "render.h"

namespace {

using orbex::Report;

bool parseCount(const char *text, int min, int max, int &value) {
    value = 0;
    if (*text == 0)
        return false;
    for (const char *p = text; *p != 0; ++p) {
        if (*p < '0' || *p > '9' || value > max)
            return false;
        value = value * 10 + (*p - '0');
    }
    return value >= min && value <= max;
}

struct Command {
    const char *name;
    const char *usage;
    const char *help;
    int minOperands;
    int maxOperands;
    int (*run)(int count, char **operands, Report &report);
};

int makeFont(int, char **operands, Report &report) {
    std::vector<std::uint8_t> source;
    if (!orbex::readBytes(operands[0], source)) {
        report.error(std::string(operands[0]) + ": cannot read");
        return 1;
    }
    Report parsed;
    auto glyphs = orbex::parseHexFont(std::string(source.begin(), source.end()), parsed);
    for (const std::string &e : parsed.errors)
        report.error(std::string(operands[0]) + ": " + e);
    if (!report.ok())
        return 1;
    std::vector<std::uint8_t> font = orbex::buildFont(glyphs, report);
    if (!orbex::writeBytes(operands[1], font)) {
        report.error(std::string(operands[1]) + ": cannot write");
        return 1;
    }
    return 0;
}

int makePcx(int, char **operands, Report &report) {
    orbex::RgbImage image;
    if (!orbex::readPng(operands[0], image, report))
        return 1;
    orbex::IndexedImage indexed = orbex::quantize(image, report);
    std::vector<std::uint8_t> pcx;
    if (!orbex::encodePcx(indexed, pcx, report))
        return 1;
    if (!orbex::writeBytes(operands[1], pcx)) {
        report.error(std::string(operands[1]) + ": cannot write");
        return 1;
    }
    return 0;
}

int makeRaw(int, char **operands, Report &report) {
    orbex::RgbImage image;
    std::vector<std::uint8_t> raw;
    if (!orbex::readPng(operands[0], image, report) || !orbex::encodeRaw(image, raw, report))
        return 1;
    if (!orbex::writeBytes(operands[1], raw)) {
        report.error(std::string(operands[1]) + ": cannot write");
        return 1;
    }
    return 0;
}

int makeArchive(int, char **operands, Report &report) {
    std::vector<orbex::ArticleSource> sources;
    std::vector<std::uint8_t> archive;
    if (!orbex::loadArticleSources(operands[0], sources, report) || !orbex::buildArchive(sources, archive, report))
        return 1;
    if (!orbex::writeBytes(operands[1], archive)) {
        report.error(std::string(operands[1]) + ": cannot write");
        return 1;
    }
    return 0;
}

int checkFolder(int, char **operands, Report &report) {
    if (!orbex::checkMagazine(operands[0], report))
        return 1;
    std::printf("%s: ready%s\n", operands[0], report.warnings.empty() ? "" : ", with warnings");
    return 0;
}

int renderPage(int count, char **operands, Report &report) {
    int number = 0, line = 0;
    if (!parseCount(operands[1], 1, 99, number) || (count > 3 && !parseCount(operands[3], 0, 65535, line))) {
        report.error("ARTICLE is a number 1..99, LINE one of 0 or more");
        return 1;
    }
    return orbex::renderArticle(operands[0], number, line, operands[2], report) ? 0 : 1;
}

const Command COMMANDS[] = {
    {"font", "font SRC.hex OUT.168",
     "Makes the 8x16 font data/chars.168 from a GNU-unifont-style .hex file\n"
     "(lines XXXX:32 hex digits). Byte values map to Unicode through Windows-1252;\n"
     "control bytes, the space and undefined bytes stay blank.\n",
     2, 2, makeFont},
    {"pcx", "pcx IN.png OUT.pcx",
     "Makes a 256-colour run-length PCX picture (data/ende.pcx and data/BG_8b.pcx:\n"
     "640x480; data/cursor.pcx: 32x32, pure black is transparent). Pictures with\n"
     "more than 256 colours are reduced by median cut. The width must be even.\n",
     2, 2, makePcx},
    {"raw", "raw IN.png OUT.raw", "Makes the start picture data/begin.raw: 640x480 pixels of red, green, blue.\n", 2, 2,
     makeRaw},
    {"archive", "archive SRC_DIR OUT.dat",
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
     "Link texts hold at most 80 characters and stay on one line. Lines longer\n"
     "than 76 columns are cut by the viewer in mid-word; the tool warns.\n",
     2, 2, makeArchive},
    {"check", "check DIR",
     "Checks a magazine folder: every file present with the size and form the\n"
     "viewer expects, every link pointing at an existing article or module.\n",
     1, 1, checkFolder},
    {"render", "render DIR ARTICLE OUT.png [LINE]",
     "Draws article ARTICLE of the magazine in DIR, from line LINE (default 0),\n"
     "with the viewer's own code and no window, and saves the frame as a PNG.\n"
     "No pointer, no music. Like the viewer, it creates DIR/orbex.cfg if missing.\n",
     3, 4, renderPage},
};

void usage(std::FILE *out) {
    std::fprintf(out, "usage: orbex-tool COMMAND ARGUMENTS (orbex-tool COMMAND --help for more)\n");
    for (const Command &command : COMMANDS)
        std::fprintf(out, "  orbex-tool %s\n", command.usage);
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        usage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    for (const Command &command : COMMANDS) {
        if (std::strcmp(argv[1], command.name) != 0)
            continue;
        for (int i = 2; i < argc; ++i)
            if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
                std::printf("usage: orbex-tool %s\n\n%s", command.usage, command.help);
                return 0;
            }
        if (argc - 2 < command.minOperands || argc - 2 > command.maxOperands) {
            std::fprintf(stderr, "usage: orbex-tool %s\n", command.usage);
            return 2;
        }
        Report report;
        int result = command.run(argc - 2, argv + 2, report);
        for (const std::string &w : report.warnings)
            std::fprintf(stderr, "orbex-tool %s: warning: %s\n", command.name, w.c_str());
        for (const std::string &e : report.errors)
            std::fprintf(stderr, "orbex-tool %s: error: %s\n", command.name, e.c_str());
        return result != 0 || !report.ok() ? 1 : 0;
    }
    std::fprintf(stderr, "orbex-tool: unknown command \"%s\"\n", argv[1]);
    usage(stderr);
    return 2;
}
