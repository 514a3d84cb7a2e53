// What the viewer's start takes: the letters of its command line, the
// sample rates that orbex.cfg's first byte picks, and the files of the
// magazine it reads, in the order it reads them before its first frame.
// The browser's page gets these from its generated constants module
// (src/platform/web/modules/), so that a start in the browser fetches what
// the viewer will read first.
#pragma once

#include <cstdint>

namespace orbex {

// Letters anywhere in the command line: no music, a log, no mouse.
constexpr char NO_MUSIC_LETTER = 'n';
constexpr char LOG_LETTER = 'l';
constexpr char NO_MOUSE_LETTER = 'k';

// orbex.cfg's first byte: 2 and 3 pick these rates, any other value the first.
constexpr std::uint32_t USUAL_SAMPLE_RATE = 44100;
constexpr std::uint32_t HALF_SAMPLE_RATE = 22050;
constexpr std::uint32_t QUARTER_SAMPLE_RATE = 11025;

constexpr std::uint32_t sampleRateOf(std::uint8_t code) {
    return code == 2 ? HALF_SAMPLE_RATE : code == 3 ? QUARTER_SAMPLE_RATE : USUAL_SAMPLE_RATE;
}

// The magazine's files the viewer reads, by their names in its folder.
constexpr const char ARCHIVE_FILE[] = "data/orbex.dat";
constexpr const char FONT_FILE[] = "data/chars.168";
constexpr const char CONFIG_FILE[] = "orbex.cfg";
constexpr const char START_PICTURE_FILE[] = "data/begin.raw";
constexpr const char END_PICTURE_FILE[] = "data/ende.pcx";
constexpr const char BACKGROUND_FILE[] = "data/BG_8b.pcx";
constexpr const char POINTER_FILE[] = "data/cursor.pcx";
// Played from the start picture on (music links name the others).
constexpr const char START_MODULE_FILE[] = "extreme2.xm";

// What the start reads before its first frame, in that order; the archive
// is read after it.
// The way back in after a rebuild, for orbex-tool preview's page only: a
// window message (WM_APP + 1) the page posts with the article and line to
// show; the viewer reads its archive, font and pictures again and shows
// them, past the start picture.
constexpr std::uint32_t PREVIEW_REOPEN_MESSAGE = 0x8000 + 1;
// What needs no new page: what it reads again, and the start picture, which
// is past. A change to any other file loads the page again.
constexpr const char *REOPENED_FILES[] = {ARCHIVE_FILE,     FONT_FILE,       START_PICTURE_FILE,
                                          END_PICTURE_FILE, BACKGROUND_FILE, POINTER_FILE};

constexpr const char *START_FILES[] = {START_PICTURE_FILE, END_PICTURE_FILE, BACKGROUND_FILE, CONFIG_FILE,
                                       START_MODULE_FILE,  POINTER_FILE,     FONT_FILE};

} // namespace orbex
