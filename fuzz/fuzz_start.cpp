// Any bytes as the raw start picture "data/begin.raw", prepared at 24 bits
// or packed at 16 bits, as the file's length chooses.
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
    // One depth per input, by the file's length: 24 bits or a 16-bit layout.
    const std::size_t choice = size % 6;
    if (choice == 0) {
        SCREENCOLORS = 24;
    } else {
        SCREENCOLORS = 16;
        const Layout &layout = LAYOUTS[choice - 1];
        nRedBits = layout.red, nGreenBits = layout.green, nBlueBits = layout.blue;
    }
    prepareStartPicture();
    return 0;
}
