// Any bytes as a PCX picture for the 640x480 buffer: the end picture and the
// background prepared from it at both depths (each 16-bit layout in turn),
// then read again placed at offsets from the file's first bytes.
#include <cstdint>
#include <cstdlib>

#include "picture/pcx.h"
#include "picture/pictures.h"
#include "picture/pixelformat.h"
#include "support.h"

namespace {

using namespace orbex;

struct Layout {
    std::uint8_t red, green, blue;
};
// The four layouts packing knows, and one it does not.
constexpr Layout LAYOUTS[] = {{5, 6, 5}, {5, 5, 5}, {6, 5, 5}, {5, 5, 6}, {6, 6, 6}};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::enterScratchFolder("pcx");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (!fuzz::writeFile("data/ende.pcx", data, size) || !fuzz::writeFile("data/BG_8b.pcx", data, size))
        return 0;
    fuzz::resetViewer();
    SCREENCOLORS = 24;
    prepareEndPicture();
    prepareBackground();
    checkBackground(nullptr);
    const Layout &layout = LAYOUTS[(size > 2 ? data[2] : 0) % 5];
    SCREENCOLORS = 16;
    nRedBits = layout.red, nGreenBits = layout.green, nBlueBits = layout.blue;
    prepareEndPicture();
    prepareBackground();
    checkBackground(nullptr);
    // Placement from the header's first bytes, so offsets are explored too.
    std::int32_t dx = size > 0 ? static_cast<std::int8_t>(data[0]) * 8 : 0;
    std::int32_t dy = size > 1 ? static_cast<std::int8_t>(data[1]) * 8 : 0;
    readPcx("data/ende.pcx", 0, dx, dy);
    readPcx("data/ende.pcx", PCX_READ_PALETTE, -dx * 40, dy * 40);
    return 0;
}
