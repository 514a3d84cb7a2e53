// The page's copy of the viewer's facts: constants.mjs, an ES module written
// from src/common (the frame's size, the page's line height, the read
// limits, the start's letters, rate and files, the music link's code), so
// that the page and the viewer read one set of numbers. Written by the
// browser build (page_modules.cpp, under Node); the tests read it
// in-process.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "common/geometry.h"
#include "common/readlimits.h"
#include "common/start.h"
#include "common/textcodes.h"

namespace orbex::web {

inline std::string quotedJs(const char *text) { return std::string("'") + text + "'"; }

inline void writeConstant(std::ostream &out, const char *name, std::uint64_t value) {
    out << "export const " << name << " = " << value << '\n';
}

inline void writeStringConstant(std::ostream &out, const char *name, const char *value) {
    out << "export const " << name << " = " << quotedJs(value) << '\n';
}

inline void writeConstantsModule(std::ostream &out) {
    out << "// The viewer's facts, for the page. Written by the build\n"
           "// (src/platform/web/modules/constants_module.h) from src/common: change\n"
           "// those, not this file.\n\n";

    out << "// The frame (common/geometry.h).\n";
    writeConstant(out, "SCREEN_WIDTH", SCREENWIDTH);
    writeConstant(out, "SCREEN_HEIGHT", SCREENHEIGHT);
    writeConstant(out, "LINE_HEIGHT", static_cast<std::uint64_t>(LINE_HEIGHT));

    out << "\n// The start (common/start.h): its letters, its usual sample rate, the\n"
           "// files it reads before the first frame in that order, the start module\n"
           "// and the archive.\n";
    out << "export const NO_MUSIC_LETTER = '" << NO_MUSIC_LETTER << "'\n";
    out << "export const LOG_LETTER = '" << LOG_LETTER << "'\n";
    writeConstant(out, "USUAL_SAMPLE_RATE", USUAL_SAMPLE_RATE);
    out << "export const START_FILES = Object.freeze([";
    const char *separator = "";
    for (const char *name : START_FILES) {
        out << separator << quotedJs(name);
        separator = ", ";
    }
    out << "])\n";
    writeStringConstant(out, "START_MODULE_FILE", START_MODULE_FILE);
    writeStringConstant(out, "ARCHIVE_FILE", ARCHIVE_FILE);
    writeStringConstant(out, "CONFIG_FILE", CONFIG_FILE);
    writeStringConstant(out, "FONT_FILE", FONT_FILE);
    out << "// The preview's message that opens the magazine again after a rebuild,\n"
           "// and the files it reads again.\n";
    writeConstant(out, "PREVIEW_REOPEN_MESSAGE", PREVIEW_REOPEN_MESSAGE);
    out << "export const REOPENED_FILES = Object.freeze([";
    separator = "";
    for (const char *name : REOPENED_FILES) {
        out << separator << quotedJs(name);
        separator = ", ";
    }
    out << "])\n";

    out << "\n// A music link in the archive: its code and the longest module name\n"
           "// (common/textcodes.h).\n";
    writeConstant(out, "MUSIC_LINK_CODE", MUSIC_LINK_CODE);
    writeConstant(out, "MUSIC_NAME_MAX", MUSIC_NAME_MAX);

    out << "\n// How far the viewer reads each file, and the most a zip may hold\n"
           "// (common/readlimits.h).\n";
    out << "export const READ_LIMITS = new Map([\n";
    for (const ReadLimit &limit : READ_LIMITS)
        out << "  [" << quotedJs(limit.name) << ", " << limit.bytes << "],\n";
    out << "])\n";
    writeConstant(out, "ANY_FILE_LIMIT", ANY_FILE_LIMIT);
    writeConstant(out, "ZIP_ENTRY_LIMIT", ZIP_ENTRY_LIMIT);
    writeConstant(out, "ZIP_TOTAL_LIMIT", ZIP_TOTAL_LIMIT);
    writeConstant(out, "ZIP_DIRECTORY_LIMIT", ZIP_DIRECTORY_LIMIT);
}

} // namespace orbex::web
