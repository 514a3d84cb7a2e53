// Any bytes as a font source for `orbex-tool font`: the .hex lines parsed,
// the font built and its glyphs read back. However many lines are bad, only
// the first few are listed; more stops the run as a finding.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fontsource.h"
#include "support.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    orbex::fuzz::enterScratchFolder("font-source");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    orbex::Report report;
    auto glyphs = orbex::parseHexFont(std::string(reinterpret_cast<const char *>(data), size), report);
    // The listed problems and the line that counts the others.
    if (report.errors.size() > orbex::MAX_LISTED + 1)
        std::abort();
    std::vector<std::uint8_t> font = orbex::buildFont(glyphs, report);
    for (int glyph : {0, int{'A'}, 0x80, 0xFF})
        orbex::fontGlyph(font, glyph);
    return 0;
}
