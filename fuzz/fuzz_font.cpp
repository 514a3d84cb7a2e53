// Any bytes as the font file, then glyphs drawn at both depths across the
// frame's edges.
#include <cstdint>
#include <vector>

#include "picture/pixelformat.h"
#include "support.h"
#include "text/font.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    orbex::fuzz::enterScratchFolder("font");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (!orbex::fuzz::writeFile("data/chars.168", data, size))
        return 0;
    orbex::fuzz::resetViewer();
    orbex::loadFont();

    static std::vector<std::uint8_t> frame(640 * 3 * 480);
    std::int32_t x = size > 0 ? static_cast<std::int8_t>(data[0]) * 6 : 0;
    std::int32_t y = size > 1 ? static_cast<std::int8_t>(data[1]) * 4 : 0;
    std::uint8_t text[80];
    for (std::size_t i = 0; i < sizeof text; ++i)
        text[i] = i < size ? data[i] : 0;
    for (std::uint8_t depth : {16, 24}) {
        orbex::SCREENCOLORS = depth;
        orbex::nRedBits = 5, orbex::nGreenBits = 6, orbex::nBlueBits = 5;
        std::int32_t pitch = 640 * depth / 8;
        orbex::drawString(text, x, y, orbex::LockedFrame(frame.data(), pitch), 1, 2, 3);
        orbex::drawGlyph(text[0], 636, 476, orbex::LockedFrame(frame.data(), pitch), 1, 2, 3);
    }
    return 0;
}
