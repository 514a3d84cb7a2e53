// Any bytes as the raw start picture "data/begin.raw", prepared at 24 bits
// or packed at 16 bits, as the file's length chooses.
#include <cstdint>

#include "picture/pictures.h"
#include "picture/pixelformat.h"
#include "support.h"

namespace {

using namespace orbex;

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
    fuzz::useDepth(size);
    prepareStartPicture();
    return 0;
}
