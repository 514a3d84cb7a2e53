// Any bytes as the pointer picture: built at both depths (each 16-bit layout
// in turn), drawn at the frame's edges, then read again at offsets from the
// file's first bytes.
#include <cstdint>
#include <vector>

#include "common/geometry.h"
#include "picture/pcx.h"
#include "picture/pictures.h"
#include "picture/pixelformat.h"
#include "present/input.h"
#include "present/overlay.h"
#include "support.h"

namespace {

using namespace orbex;

// Where the pointer is drawn: corners, edges and beyond them.
constexpr std::int32_t PLACES[][2] = {{0, 0}, {-31, -31}, {639, 479}, {620, 460}, {-5, 470}, {630, -10}, {320, 240}};

std::vector<std::uint8_t> frame;

void drawEverywhere(std::uint8_t depth) {
    const std::int32_t pitch = SCREENWIDTH * (depth / 8);
    frame.assign(static_cast<std::size_t>(pitch) * SCREENHEIGHT, 0);
    for (const auto &place : PLACES) {
        nMouseX = place[0];
        nMouseY = place[1];
        drawPointer(LockedFrame(frame.data(), pitch));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::enterScratchFolder("cursor");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (!fuzz::writeFile("data/cursor.pcx", data, size))
        return 0;
    fuzz::resetViewer();
    fuzz::useDepth(0);
    buildPointer();
    drawEverywhere(24);
    fuzz::resetViewer();
    fuzz::useDepth(1 + (size > 2 ? data[2] : 0) % (fuzz::DEPTH_CHOICES - 1));
    buildPointer();
    drawEverywhere(16);
    std::int32_t dx = size > 0 ? static_cast<std::int8_t>(data[0]) : 0;
    std::int32_t dy = size > 1 ? static_cast<std::int8_t>(data[1]) : 0;
    readCursorPcx("data/cursor.pcx", 0, dx, dy);
    readCursorPcx("data/cursor.pcx", PCX_READ_PALETTE, -dx * 300, dy * 300);
    return 0;
}
