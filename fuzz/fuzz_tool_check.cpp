// Any bytes as a small magazine for `orbex-tool check`: the input is cut at
// "@@@@" into the magazine's files in a fixed order (archive, background,
// font, start picture, end picture, pointer, start module, one more module);
// a file the input does not reach is missing.
#include <cstdint>
#include <string>
#include <vector>

#include "check.h"
#include "support.h"

namespace {

using namespace orbex;

const char *const FILES[] = {"data/orbex.dat", "data/BG_8b.pcx",  "data/chars.168", "data/begin.raw",
                             "data/ende.pcx",  "data/cursor.pcx", "extreme2.xm",    "modul2.xm"};
constexpr std::size_t FILE_COUNT = sizeof FILES / sizeof FILES[0];

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::enterScratchFolder("check");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::removeAll("magazine");
    fuzz::makeFolder("magazine/data");
    std::vector<std::vector<std::uint8_t>> parts = fuzz::splitFrames(data, size, "@@@@", FILE_COUNT);
    for (std::size_t i = 0; i < parts.size(); ++i)
        fuzz::writeFile(std::string("magazine/") + FILES[i], parts[i]);
    Report report;
    checkMagazine("magazine", report);
    return 0;
}
