// Any bytes as the raw start picture "data/begin.raw", prepared at 24 bits
// and packed at 16 bits with a layout chosen by the file's length.
#include <cstdint>

#include "picture/pictures.h"
#include "picture/pixelformat.h"
#include "support.h"

namespace {

using namespace orbex;

struct Layout {
    std::uint8_t red, green, blue;
};
constexpr Layout LAYOUTS[] = {{5, 6, 5}, {5, 5, 5}, {6, 5, 5}, {5, 5, 6}, {6, 6, 6}};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::enterScratchFolder("start");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (!fuzz::writeFile("data/begin.raw", data, size))
        return 0;
    fuzz::resetViewer();
    SCREENCOLORS = 24;
    prepareStartPicture();
    fuzz::resetViewer();
    const Layout &layout = LAYOUTS[size % 5];
    SCREENCOLORS = 16;
    nRedBits = layout.red, nGreenBits = layout.green, nBlueBits = layout.blue;
    prepareStartPicture();
    return 0;
}
