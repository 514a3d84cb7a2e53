// Any bytes as the font file, then glyphs drawn at both depths across the
// frame's edges.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "picture/pixelformat.h"
#include "platform/headless/headless.h"
#include "text/font.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    char folder[] = "/tmp/orbex-fuzz-font-XXXXXX";
    if (mkdtemp(folder) == nullptr || chdir(folder) != 0 || mkdir("data", 0700) != 0)
        std::abort();
    orbex::headless::install(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::FILE *file = std::fopen("data/chars.168", "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    orbex::fontState = orbex::FontState{};
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
        orbex::drawString(text, x, y, frame.data(), pitch, 1, 2, 3);
        orbex::drawGlyph(text[0], 636, 476, frame.data(), pitch, 1, 2, 3);
    }
    return 0;
}
