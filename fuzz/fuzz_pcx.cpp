// Any bytes as a PCX picture for the 640x480 buffer: the background prepared
// from it at 24 bits or in a 16-bit layout (the end picture is prepared the
// same way), then read again placed at offsets from the file's first bytes.
#include <cstdint>
#include <cstdlib>

#include "picture/pcx.h"
#include "picture/pictures.h"
#include "picture/pixelformat.h"
#include "support.h"

namespace {

using namespace orbex;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::enterScratchFolder("pcx");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (!fuzz::writeFile("data/BG_8b.pcx", data, size))
        return 0;
    fuzz::resetViewer();
    // One depth per input (each whole-picture pass costs): the third byte
    // chooses 24 bits or a 16-bit layout, one packing does not know among them.
    fuzz::useDepth(size > 2 ? data[2] : 0);
    prepareBackground();
    checkBackground(nullptr);
    // Placement from the header's first bytes, so offsets are explored too.
    std::int32_t dx = size > 0 ? static_cast<std::int8_t>(data[0]) * 8 : 0;
    std::int32_t dy = size > 1 ? static_cast<std::int8_t>(data[1]) * 8 : 0;
    readPcx("data/BG_8b.pcx", 0, dx, dy);
    readPcx("data/BG_8b.pcx", PCX_READ_PALETTE, -dx * 40, dy * 40);
    return 0;
}
