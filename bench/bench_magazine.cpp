#include "bench_magazine.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "base/config.h"
#include "base/settings.h"
#include "common/geometry.h"
#include "display/display.h"
#include "music/music.h"
#include "picture/pcx.h"
#include "picture/pictures.h"
#include "picture/pixelformat.h"
#include "platform/install.h"
#include "platform/testing.h"
#ifdef ORBEX_WEB
#include "platform/web/web.h"
#else
#include "platform/headless/headless.h"
#endif
#include "present/frame.h"
#include "present/input.h"
#include "shell/assets.h"
#include "shell/reset.h"
#include "shell/startup.h"
#include "shell/windowproc.h"
#include "text/archive.h"
#include "text/font.h"

namespace orbex::bench {

std::int32_t nLastArticle = 0;

namespace {

namespace fs = std::filesystem;

constexpr std::size_t ARCHIVE_TARGET = 1040000;
constexpr float PAGE_TOP = 206.0f;
constexpr std::int32_t LINK_X = 200;

fs::path folder;
fs::path previous;

// Colour bytes blue, green, red; none of them a markup code, 13 or 26.
const std::string LINK_COLOURS = "\x50\xC8\xFF\xFF\xFF\x60";
const std::string LINK_TEXT = "Weiter zum naechsten Artikel dieser Ausgabe"; // 40+ columns

// Lines as magazine pages have them: plain text, colour changes, and on every
// fourth line a link, article and music links in turn. Line j starts at the
// j-th line feed; no line wraps.
std::string articleText(std::size_t size) {
    std::string text = "Ein Diskmag ist eine Zeitschrift auf Diskette, mit Bildern und Musik.";
    for (int line = 1; text.size() < size; ++line) {
        text += '\n';
        if (line % 8 == 4)
            text += "\x9F[2][0]" + LINK_COLOURS + LINK_TEXT + "\x9F";
        else if (line % 8 == 0)
            text += "\xA8modul2.xm\"" + LINK_COLOURS + LINK_TEXT + "\xA8";
        else if (line % 3 == 0)
            text += "Farben: \xA2\xFF\x50\x50rot\xA2\xFF\xFF\xFF, \xA2\x50\xFF\x50gr\xFCn\xA2\xFF\xFF\xFF und weiter "
                    "im Text der Seite.";
        else
            text += "Statt Papier gibt es Pixel, statt Druckerschw\xE4rze Farbe und Musik.";
    }
    text.resize(size);
    return text;
}

std::string record(const std::string &title, std::size_t size) {
    return " " + title + "\nBench\n\n" + articleText(size) + "\x9E";
}

// A few articles up front, fillers, and the last one near the end of the
// viewer's 1 MiB buffer.
std::string archiveBytes() {
    std::string archive = "d\n" + articleText(1200) + "\x9E";
    archive += record("Kurzer Artikel", 1500);
    archive += record("Langer Artikel", TEXT_SIZE);
    nLastArticle = 3;
    const std::string filler = record("Fuellung", 8000);
    while (archive.size() + filler.size() < ARCHIVE_TARGET) {
        archive += filler;
        ++nLastArticle;
    }
    archive += record("Letzter Artikel", 2000);
    ++nLastArticle;
    archive.pop_back(); // the last article ends at the end of the data
    return archive;
}

// Every pixel a literal of two bytes (run of one): the slowest picture to decode.
std::string noisePcx() {
    std::string pcx(128, '\0');
    pcx[0] = 0x0A, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8;
    pcx[8] = static_cast<char>(639 & 0xFF), pcx[9] = static_cast<char>(639 >> 8);
    pcx[10] = static_cast<char>(479 & 0xFF), pcx[11] = static_cast<char>(479 >> 8);
    pcx[65] = 1;
    pcx[66] = static_cast<char>(640 & 0xFF), pcx[67] = static_cast<char>(640 >> 8);
    for (std::uint32_t i = 0; i < 640u * 480u; ++i) {
        pcx += '\xC1';
        pcx += static_cast<char>((i * 2654435761u) >> 24);
    }
    pcx += '\x0C';
    for (int i = 0; i < 768; ++i)
        pcx += static_cast<char>(i / 3);
    return pcx;
}

void writeBytes(const fs::path &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

bool prepareMagazine(const std::string &sample) {
    previous = fs::current_path();
    folder = fs::temp_directory_path() / ("orbex-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder / "data");
    for (const char *name : {"chars.168", "begin.raw", "ende.pcx", "BG_8b.pcx", "cursor.pcx"}) {
        std::error_code error;
        fs::copy_file(fs::path(sample) / "data" / name, folder / "data" / name, error);
        if (error) {
            std::fprintf(stderr, "orbex_bench: %s/data/%s: %s (build the sample magazine first)\n", sample.c_str(),
                         name, error.message().c_str());
            return false;
        }
    }
    writeBytes(folder / "data" / "orbex.dat", archiveBytes());
    writeBytes(folder / "data" / "noise.pcx", noisePcx());
    fs::current_path(folder);
    return true;
}

void removeMagazine() {
    releaseDisplayObjects();
    fs::current_path(previous);
    fs::remove_all(folder);
}

bool startViewer(int depth, int padding) {
    resetViewer();
    resetPlatform();
#ifdef ORBEX_WEB
    // The page offers both depths; the configuration picks one.
    (void)padding;
    writeBytes("orbex.cfg", depth == 16 ? "\x01\x03\x01" : "\x01\x02\x01");
    installBackend(web::BACKEND, false);
#else
    installBackend(headless::BACKEND, false);
    offerDepths({depth});
    setPitchPadding(padding);
#endif
    // Frozen between flips: a frame-rate window closes only in updateFrame.
    useVirtualClock(1000000, 20);
    bMusicOn = 0;
    if (doInit(nullptr, SW_SHOWDEFAULT, viewerWindowProc, reportInitFailure) != 1 || SCREENCOLORS != depth)
        return false;
    initAssets(hViewerWindow);
    loadArchive();
    selectArticle(1);
    nInitStage = INIT_DONE;
    return bQuitRequest == 0;
}

void showArticle(std::int32_t number) {
    nArticle = number;
    selectArticle(number);
    ViewerMode = MODE_VIEWING;
    // The pointer stays where it is put, as with the letter k.
    bMouseOn = 0;
    bLeftButton = 0;
    bLinkTaken = 0;
    std::int32_t line = 4;
    if (number == LONG_ARTICLE) {
        ScrollPosition = static_cast<float>(std::max(nLineCount - 15, 0));
        // An article link some lines above the window's last one.
        line = static_cast<std::int32_t>(ScrollPosition) + 12;
        line -= ((line % 8) - 4 + 8) % 8;
    }
    nMouseX = LINK_X;
    nMouseY = static_cast<std::int32_t>((static_cast<float>(line) - ScrollPosition) * 16.0f + PAGE_TOP) + 8;
}

} // namespace orbex::bench
