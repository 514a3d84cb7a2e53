// How far the viewer reads each file of a magazine, and so the most that a
// file handed out inside a zip may hold: a zip whose entries declare more
// is refused whole before anything is read from it. README ("Bad and hostile
// files") has the same table; the page applies the same numbers to the zips
// it opens, and orbex-tool check to a folder that is to be zipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/start.h"

namespace orbex {

constexpr std::uint64_t KIB = 1024;
constexpr std::uint64_t MIB = 1024 * KIB;

struct ReadLimit {
    // The file's name in the magazine folder.
    const char *name;
    // The most the file may hold; round, and at least what the viewer reads.
    std::uint64_t bytes;
};

// Text mode may drop a carriage return before every byte kept, so a text
// file may be twice what the viewer keeps of it. A PCX picture is read to
// its end, where its palette lies; a 640x480 one takes at most 615,297 bytes
// (every pixel a run of one), the 32x32 pointer 2,945.
constexpr ReadLimit READ_LIMITS[] = {
    {ARCHIVE_FILE, 2 * MIB},       // 1,048,575 bytes kept in the 1 MiB buffer
    {FONT_FILE, 64 * KIB},         // 32,768 bytes kept
    {CONFIG_FILE, 64 * KIB},       // 3 bytes kept
    {START_PICTURE_FILE, 1 * MIB}, // 921,600 bytes
    {END_PICTURE_FILE, 1 * MIB},   // all of it
    {BACKGROUND_FILE, 1 * MIB},    // all of it
    {POINTER_FILE, 64 * KIB},      // all of it
};
// Any other file is read whole as a module: extreme2.xm and whatever a
// music link names (the sound library plays no module larger than this).
constexpr std::uint64_t ANY_FILE_LIMIT = 64 * MIB;
// A zip as a whole: its entries (folders included), and what its files
// declare together.
constexpr std::size_t ZIP_ENTRY_LIMIT = 4096;
constexpr std::uint64_t ZIP_TOTAL_LIMIT = 256 * MIB;
// A zip's table of contents: room for ZIP_ENTRY_LIMIT entries with long
// names and extra fields.
constexpr std::uint64_t ZIP_DIRECTORY_LIMIT = 8 * MIB;

// The limit of the file at name, a path relative to the magazine folder in
// its plain form ("data/orbex.dat", not "./data//orbex.dat").
constexpr std::uint64_t readLimit(std::string_view name) {
    for (const ReadLimit &limit : READ_LIMITS)
        if (name == limit.name)
            return limit.bytes;
    return ANY_FILE_LIMIT;
}

} // namespace orbex
