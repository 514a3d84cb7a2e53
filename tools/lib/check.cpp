#include "check.h"

#include <map>
#include <vector>

#include "articles.h"
#include "common/geometry.h"
#include "files.h"
#include "fontsource.h"
#include "images.h"
#include "platform/bass.h"
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

// Reports under the file's name what a decoder found.
void merge(Report &into, const Report &from, const std::string &name) {
    for (const std::string &e : from.errors)
        into.error(name + ": " + e);
    for (const std::string &w : from.warnings)
        into.warn(name + ": " + w);
}

// Reads a file of the magazine; a problem goes into report under its name.
bool readFile(const Folder &folder, const std::string &name, std::vector<std::uint8_t> &bytes, Report &report,
              std::size_t limit) {
    FileRead read = folder.read(name, bytes, limit);
    if (read.result != ReadResult::Ok)
        report.error(readProblem(read.where, read.result, limit));
    return read.result == ReadResult::Ok;
}

void checkPcx(const Folder &folder, const std::string &name, PictureKind kind, Report &report) {
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

void checkFont(const Folder &folder, Report &report) {
    const std::string name = "data/chars.168";
    std::vector<std::uint8_t> font;
    FileRead read = folder.read(name, font, 2 * FONT_FILE_SIZE, ReadMode::Head);
    std::uint64_t size = read.size;
    if (read.result != ReadResult::Ok) {
        report.error(readProblem(read.where, read.result));
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

void checkStartPicture(const Folder &folder, Report &report) {
    const std::string name = "data/begin.raw";
    std::vector<std::uint8_t> none;
    // Only the size matters, so nothing is read.
    FileRead read = folder.read(name, none, 0, ReadMode::Head);
    if (read.result != ReadResult::Ok)
        report.error(readProblem(read.where, read.result));
    else if (read.size != TRUECOLOUR_SIZE)
        report.error(name + ": " + std::to_string(read.size) + " bytes, the viewer reads 921600");
}

// The archive's first pass: each article's form, and its line count for
// the links that point into it.
std::vector<int> checkArticles(const std::vector<std::uint8_t> &view, Listed &listed) {
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
    return lineCounts;
}

// The second pass: every link's target; returns the music links' module
// names, each once, in order.
std::vector<std::string> checkLinks(const std::vector<std::uint8_t> &view, const std::vector<int> &lineCounts,
                                    Listed &listed) {
    std::vector<std::string> modules;
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

// Checks data/orbex.dat as the viewer reads it; returns the music links'
// module names.
std::vector<std::string> checkArchive(const Folder &folder, Report &report) {
    const std::string name = "data/orbex.dat";
    std::vector<std::uint8_t> file;
    FileRead read = folder.read(name, file, ARCHIVE_READ_BYTES, ReadMode::Head);
    std::uint64_t size = read.size;
    if (read.result != ReadResult::Ok) {
        report.error(readProblem(read.where, read.result));
        return {};
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
    // Two passes, one article at a time: the line counts first.
    const std::vector<int> lineCounts = checkArticles(view, listed);
    return checkLinks(view, lineCounts, listed);
}

// Loads each module as the viewer's sound library does: a regular file of at
// most 64 MiB that libopenmpt can read. A file named by many links, under
// one name or several, is loaded once.
class ModuleCheck {
  public:
    ModuleCheck(const Folder &folder, Report &report) : folder(folder), problems(report, "") {
        // No output device: modules are only loaded, never played.
        library.init(-1, 44100, 0, nullptr);
    }

    void check(const std::string &name, const std::string &why) {
        std::vector<std::uint8_t> none;
        // Only which file it is, first; its bytes are read once.
        FileRead found = folder.read(name, none, 0, ReadMode::Head);
        std::string problem;
        if (found.result == ReadResult::Ok) {
            auto known = checked.find(found.id);
            if (known == checked.end())
                known = checked.emplace(found.id, load(name)).first;
            problem = known->second;
        } else if (found.result == ReadResult::Outside) {
            problem = "outside the magazine's folder, so a reader who gets the magazine does not have it";
        } else {
            problem = readProblem(found.where, found.result);
            // The file's own name leads; a folder on the way is named after it.
            problem = found.where == name ? problem.substr(name.size() + 2) : problem;
        }
        if (!problem.empty())
            problems.error(name + ": " + problem + " (" + why + ")");
    }

  private:
    std::string load(const std::string &name) {
        std::vector<std::uint8_t> module;
        FileRead read = folder.read(name, module, MAX_MODULE_BYTES);
        if (read.result == ReadResult::TooBig)
            return std::to_string(read.size) + " bytes; the viewer plays modules of at most " +
                   std::to_string(MAX_MODULE_BYTES);
        if (read.result != ReadResult::Ok)
            return readProblem(read.where, read.result).substr(read.where.size() + 2);
        if (module.empty())
            return "empty, so the viewer plays nothing";
        HMUSIC music = library.musicLoad(TRUE, module.data(), 0, static_cast<DWORD>(module.size()), BASS_MUSIC_LOOP);
        if (music == 0)
            return "not a module the viewer can play";
        library.musicFree(music);
        return {};
    }

    const Folder &folder;
    Listed problems;
    sound::ModulePlayer player{nullptr};
    SoundLibrary library{&player};
    std::map<FileId, std::string> checked;
};

} // namespace

bool checkMagazine(const Folder &folder, Report &report) {
    std::vector<std::string> linked = checkArchive(folder, report);
    checkFont(folder, report);
    checkStartPicture(folder, report);
    checkPcx(folder, "data/ende.pcx", PictureKind::Screen, report);
    checkPcx(folder, "data/BG_8b.pcx", PictureKind::Screen, report);
    checkPcx(folder, "data/cursor.pcx", PictureKind::Pointer, report);
    ModuleCheck modules(folder, report);
    modules.check("extreme2.xm", "the music played from the start");
    for (const std::string &name : linked)
        if (name != "extreme2.xm")
            modules.check(name, "named by a music link");
    return report.ok();
}

bool checkMagazine(const std::string &path, Report &report) {
    Folder folder;
    // A zip is refused whole, as the viewer refuses it, before its files are checked.
    if (Folder::isFile(path)) {
        std::string why;
        if (!Folder::zipped(path, folder, why)) {
            report.error(why);
            return false;
        }
        return checkMagazine(folder, report);
    }
    return givenFolder(path, folder, report) && checkMagazine(folder, report);
}

} // namespace orbex
