// The one writer of whole magazines for the tests, and the one copier of
// the sample magazine. Every file a magazine
// has is a field, which a test replaces, or empties to leave the file out,
// before write(). The defaults tell themselves apart on screen: a dark red
// start picture, a dark green end picture, a dark blue background, the
// marker font (page_files.h), a contents page and one article, orbex.cfg
// 1, 1, 1; no pointer picture and no music.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "support/viewer_test.h"

namespace orbex::test {

// The colours of the default pictures, red, green, blue.
constexpr std::uint8_t START_RED = 90;
constexpr std::uint8_t END_GREEN = 90;
constexpr std::uint8_t BACKGROUND_BLUE = 60;

struct TestMagazine {
    TestMagazine();

    std::optional<std::string> archive; // data/orbex.dat
    std::optional<Bytes> font;          // data/chars.168
    std::optional<Bytes> startPicture;  // data/begin.raw
    std::optional<Bytes> endPicture;    // data/ende.pcx
    std::optional<Bytes> background;    // data/BG_8b.pcx
    std::optional<Bytes> pointer;       // data/cursor.pcx
    std::optional<Bytes> config;        // orbex.cfg
    // Modules and whatever else a magazine holds, by their path in it.
    std::map<std::string, Bytes> files;

    // The files that are set, into folder (made if need be).
    void write(const std::filesystem::path &folder = ".") const;
};

// The built sample magazine's data and modules into folder, over what is
// there; never the orbex.cfg or orbex.log that a run (./run.sh) left in it.
void copySampleMagazine(const std::filesystem::path &folder);

// The sample magazine from its sources into the working directory.
void buildSampleMagazine();

// Articles joined into an archive, each ended by the separator 0x9E.
std::string archiveOf(std::initializer_list<std::string> articles);

} // namespace orbex::test
