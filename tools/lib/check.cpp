#include "check.h"

#include <map>
#include <vector>

#include "articles.h"
#include "common/geometry.h"
#include "files.h"
#include "fontsource.h"
#include "images.h"
#include "platform/sound/sound.h"
#include "text/font.h"

namespace orbex {

namespace {

// The viewer fills its 640x480 buffers from at most this much of a PCX file
// in any sensible encoding; a bigger file is not read whole.
constexpr std::size_t MAX_PCX_BYTES = 16u << 20;
// Read of an archive file: what the viewer's buffer takes, and enough more to
// make up for carriage returns that text mode drops.
constexpr std::size_t ARCHIVE_READ_BYTES = 2 * ARCHIVE_SIZE;
// Problems reported one by one, per file; the rest are counted.
constexpr std::size_t MAX_LISTED = 50;

// Reports under the file's name what a decoder found.
void merge(Report &into, const Report &from, const std::string &name) {
    for (const std::string &e : from.errors)
        into.error(name + ": " + e);
    for (const std::string &w : from.warnings)
        into.warn(name + ": " + w);
}

// Lists the first problems of one kind of file and counts the others, so a
// hostile file cannot fill the memory with messages.
class Listed {
  public:
    Listed(Report &into, std::string name) : into(into), name(std::move(name)) {}
    ~Listed() {
        if (unlisted > 0)
            into.error(name + ": and " + std::to_string(unlisted) + " more problems");
    }
    Listed(const Listed &) = delete;
    Listed &operator=(const Listed &) = delete;
    // Whether the next problem gets a message; callers of a hot loop ask
    // first, so counted problems cost no text.
    bool listing() const { return listed < MAX_LISTED; }
    void error(const std::string &text) {
        if (listed++ < MAX_LISTED)
            into.error(name + ": " + text);
        else
            ++unlisted;
    }
    void warn(const std::string &text) {
        if (listed++ < MAX_LISTED)
            into.warn(name + ": " + text);
    }
    void countError() {
        ++listed;
        ++unlisted;
    }

  private:
    Report &into;
    std::string name;
    std::size_t listed = 0;
    std::size_t unlisted = 0;
};

std::string pathIn(const std::string &folder, const std::string &name) {
    return !name.empty() && name[0] == '/' ? name : folder + "/" + name;
}

bool readFile(const std::string &folder, const std::string &name, std::vector<std::uint8_t> &bytes, Report &report,
              std::size_t limit) {
    ReadResult result = readFileBytes(pathIn(folder, name), bytes, limit);
    if (result != ReadResult::Ok)
        report.error(readProblem(name, result, limit));
    return result == ReadResult::Ok;
}

void checkPcx(const std::string &folder, const std::string &name, PictureKind kind, Report &report) {
    std::vector<std::uint8_t> bytes;
    if (!readFile(folder, name, bytes, report, MAX_PCX_BYTES))
        return;
    Report found;
    IndexedImage image;
    if (decodePcx(bytes, image, found, pictureWidth(kind), pictureHeight(kind)) && found.ok() &&
        kind == PictureKind::Pointer) {
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
    const std::string name = "data/chars.168";
    std::vector<std::uint8_t> font;
    std::uint64_t size = 0;
    ReadResult result = readFileHead(pathIn(folder, name), font, 2 * FONT_FILE_SIZE, size);
    if (result != ReadResult::Ok) {
        report.error(readProblem(name, result));
        return;
    }
    if (size != FONT_FILE_SIZE)
        report.error(name + ": " + std::to_string(size) + " bytes, the viewer reads " + std::to_string(FONT_FILE_SIZE));
    for (std::size_t i = 0; i < font.size(); ++i)
        if (font[i] == 0x0D || font[i] == 0x1A) {
            report.error(name + ": byte 0x0D or 0x1A at offset " + std::to_string(i) +
                         "; the viewer reads the font in text mode and loses it");
            break;
        }
    // Glyph 0 stands behind the header lines, 10 at the start of each line.
    for (int glyph : {0, 10, 32}) {
        GlyphRows rows = fontGlyph(font, glyph);
        for (std::uint8_t r : rows)
            if (r != 0) {
                report.warn(name + ": glyph " + std::to_string(glyph) + " is not blank but shows on every page");
                break;
            }
    }
}

void checkStartPicture(const std::string &folder, Report &report) {
    const std::string name = "data/begin.raw";
    std::vector<std::uint8_t> none;
    std::uint64_t size = 0;
    // Only the size matters, so nothing is read.
    ReadResult result = readFileHead(pathIn(folder, name), none, 0, size);
    if (result != ReadResult::Ok)
        report.error(readProblem(name, result));
    else if (size != TRUECOLOUR_SIZE)
        report.error(name + ": " + std::to_string(size) + " bytes, the viewer reads 921600");
}

// Checks data/orbex.dat as the viewer reads it; returns the music links'
// module names.
std::vector<std::string> checkArchive(const std::string &folder, Report &report) {
    const std::string name = "data/orbex.dat";
    std::vector<std::string> modules;
    std::vector<std::uint8_t> file;
    std::uint64_t size = 0;
    ReadResult result = readFileHead(pathIn(folder, name), file, ARCHIVE_READ_BYTES, size);
    if (result != ReadResult::Ok) {
        report.error(readProblem(name, result));
        return modules;
    }
    Listed listed(report, name);
    for (std::size_t i = 0; i < file.size(); ++i)
        if (file[i] == 0x0D || file[i] == 0x1A) {
            listed.error(std::string(file[i] == 0x0D ? "byte 0x0D" : "byte 0x1A") + " at offset " + std::to_string(i) +
                         ": the viewer reads the archive in text mode and loses it");
            break;
        }
    bool cut = false;
    std::vector<std::uint8_t> view = viewerArchiveBytes(file, cut);
    file = {};
    if (cut)
        listed.error(std::to_string(size) + " bytes; the viewer reads only the first " +
                     std::to_string(ARCHIVE_SIZE - 1) + " and loses the rest");

    // Two passes, one article at a time: the line counts first, for the
    // links that point into other articles.
    std::vector<int> lineCounts;
    Report form;
    forEachArticle(
        view,
        [&](std::size_t number, const Article &article) {
            lineCounts.push_back(article.lineCount);
            if (number == 1 && !article.headerless)
                listed.warn("article 1: the contents page has a header");
            auto problem = [&](const char *what) {
                if (listed.listing())
                    listed.error("article " + std::to_string(number) + ": " + what);
                else
                    listed.countError();
            };
            if (article.headerCut)
                problem("a header line of 50 or more characters runs into the next line");
            if (article.textCut)
                problem("the text is longer than the viewer's 65536 bytes");
        },
        form);
    for (const std::string &e : form.errors)
        listed.error(e);
    for (const std::string &w : form.warnings)
        listed.warn(w);
    std::map<std::string, bool> seen;
    Report ignored;
    forEachArticle(
        view,
        [&](std::size_t number, const Article &article) {
            if (article.links.empty())
                return;
            std::string where = "article " + std::to_string(number) + ": ";
            for (const ArticleLink &link : article.links) {
                if (!link.closed)
                    listed.error(where + "a link without its closing code within 80 bytes");
                if (link.music) {
                    if (!seen[link.file]) {
                        seen[link.file] = true;
                        modules.push_back(link.file);
                    }
                } else if (link.target < 1 || link.target > static_cast<int>(lineCounts.size())) {
                    listed.error(where + "link to article " + std::to_string(link.target) + ", which does not exist");
                } else if (link.line < 0 || link.line > lineCounts[static_cast<std::size_t>(link.target - 1)]) {
                    listed.warn(where + "link to line " + std::to_string(link.line) + " of article " +
                                std::to_string(link.target) + ", which has " +
                                std::to_string(lineCounts[static_cast<std::size_t>(link.target - 1)]) + " lines");
                }
            }
        },
        ignored);
    return modules;
}

// Loads a module as the viewer's sound library does: a regular file of at
// most 64 MiB that libopenmpt can read.
void checkModule(SoundLibrary &library, const std::string &folder, const std::string &name, const std::string &why,
                 Report &report) {
    std::string path = pathIn(folder, name);
    std::vector<std::uint8_t> none;
    std::uint64_t size = 0;
    ReadResult result = readFileHead(path, none, 0, size);
    if (result != ReadResult::Ok) {
        report.error(readProblem(name, result) + " (" + why + ")");
        return;
    }
    if (size == 0) {
        report.error(name + ": empty, so the viewer plays nothing (" + why + ")");
        return;
    }
    if (size > MAX_MODULE_BYTES) {
        report.error(name + ": " + std::to_string(size) + " bytes; the viewer plays modules of at most " +
                     std::to_string(MAX_MODULE_BYTES) + " (" + why + ")");
        return;
    }
    HMUSIC music = library.musicLoad(FALSE, path.c_str(), 0, 0, BASS_MUSIC_LOOP);
    if (music == 0) {
        report.error(name + ": not a module the viewer can play (" + why + ")");
        return;
    }
    library.musicFree(music);
}

} // namespace

bool checkMagazine(const std::string &folder, Report &report) {
    std::vector<std::string> linked = checkArchive(folder, report);
    checkFont(folder, report);
    checkStartPicture(folder, report);
    checkPcx(folder, "data/ende.pcx", PictureKind::Screen, report);
    checkPcx(folder, "data/BG_8b.pcx", PictureKind::Screen, report);
    checkPcx(folder, "data/cursor.pcx", PictureKind::Pointer, report);
    // No output device: modules are only loaded, never played.
    sound::ModulePlayer player(nullptr);
    SoundLibrary library(&player);
    library.init(-1, 44100, 0, nullptr);
    checkModule(library, folder, "extreme2.xm", "the music played from the start", report);
    for (const std::string &name : linked)
        if (name != "extreme2.xm")
            checkModule(library, folder, name, "named by a music link", report);
    return report.ok();
}

} // namespace orbex
