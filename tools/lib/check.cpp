#include "check.h"

#include <vector>

#include "articles.h"
#include "files.h"
#include "fontsource.h"
#include "images.h"

namespace orbex {

namespace {

// Reports under the file's name what a decoder found.
void merge(Report &into, const Report &from, const std::string &name) {
    for (const std::string &e : from.errors)
        into.error(name + ": " + e);
    for (const std::string &w : from.warnings)
        into.warn(name + ": " + w);
}

bool readFile(const std::string &folder, const std::string &name, std::vector<std::uint8_t> &bytes, Report &report) {
    std::string path = folder + "/" + name;
    if (!isRegularFile(path) || !readBytes(path, bytes)) {
        report.error(name + ": missing");
        return false;
    }
    return true;
}

void checkPcx(const std::string &folder, const std::string &name, int width, int height, Report &report) {
    std::vector<std::uint8_t> bytes;
    if (!readFile(folder, name, bytes, report))
        return;
    Report found;
    IndexedImage image;
    if (decodePcx(bytes, image, found, width, height) && found.ok() && width == 32) {
        // The viewer makes the two top-left pointer pixels transparent.
        for (int x = 0; x < 2; ++x) {
            const std::uint8_t *rgb = &image.palette[3 * image.indices[x]];
            if (rgb[0] + rgb[1] + rgb[2] != 0)
                found.warn("pixel (" + std::to_string(x) + ", 0) is not black but always shows transparent");
        }
    }
    merge(report, found, name);
}

void checkFont(const std::string &folder, Report &report) {
    std::vector<std::uint8_t> font;
    if (!readFile(folder, "data/chars.168", font, report))
        return;
    if (font.size() != 256 * 8 * 16)
        report.error("data/chars.168: " + std::to_string(font.size()) + " bytes, the viewer reads 32768");
    for (std::size_t i = 0; i < font.size(); ++i)
        if (font[i] == 0x0D || font[i] == 0x1A) {
            report.error("data/chars.168: byte 0x0D or 0x1A at offset " + std::to_string(i) +
                         "; the viewer reads the font in text mode and loses it");
            break;
        }
    // Glyph 0 stands behind the header lines, 10 at the start of each line.
    for (int glyph : {0, 10, 32}) {
        GlyphRows rows = fontGlyph(font, glyph);
        for (std::uint8_t r : rows)
            if (r != 0) {
                report.warn("data/chars.168: glyph " + std::to_string(glyph) + " is not blank but shows on every page");
                break;
            }
    }
}

} // namespace

bool checkMagazine(const std::string &folder, Report &report) {
    std::vector<std::uint8_t> archive;
    if (readFile(folder, "data/orbex.dat", archive, report)) {
        Report found;
        if (archive.size() >= 1048576)
            found.error(std::to_string(archive.size()) + " bytes; the viewer holds 1,048,575");
        std::vector<Article> articles = decodeArchive(archive, found);
        merge(report, found, "data/orbex.dat");
        if (!articles.empty() && !articles[0].headerless)
            report.warn("data/orbex.dat: article 1, the contents page, has a header");
        for (std::size_t i = 0; i < articles.size(); ++i) {
            std::string where = "data/orbex.dat: article " + std::to_string(i + 1) + ": ";
            for (const ArticleLink &link : articles[i].links) {
                if (!link.closed)
                    report.error(where + "a link without its closing code within 80 bytes");
                if (link.music) {
                    if (!isRegularFile(folder + "/" + link.file))
                        report.error(where + "music link to \"" + link.file + "\", which is missing");
                } else if (link.target < 1 || link.target > static_cast<int>(articles.size())) {
                    report.error(where + "link to article " + std::to_string(link.target) + ", which does not exist");
                } else if (link.line < 0 || link.line > articles[link.target - 1].lineCount) {
                    report.warn(where + "link to line " + std::to_string(link.line) + " of article " +
                                std::to_string(link.target) + ", which has " +
                                std::to_string(articles[link.target - 1].lineCount) + " lines");
                }
            }
        }
    }
    checkFont(folder, report);
    std::vector<std::uint8_t> raw;
    if (readFile(folder, "data/begin.raw", raw, report) && raw.size() != 640 * 480 * 3)
        report.error("data/begin.raw: " + std::to_string(raw.size()) + " bytes, the viewer reads 921600");
    checkPcx(folder, "data/ende.pcx", 640, 480, report);
    checkPcx(folder, "data/BG_8b.pcx", 640, 480, report);
    checkPcx(folder, "data/cursor.pcx", 32, 32, report);
    if (!isRegularFile(folder + "/extreme2.xm"))
        report.error("extreme2.xm: missing (the music played from the start)");
    return report.ok();
}

} // namespace orbex
