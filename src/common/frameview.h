// A frame as the display layer holds it and as it is shown: rows of pitch
// bytes, 16-bit pixels (low byte first, with these channel masks) or 24-bit
// blue, green, red. The platform hands it to the backends; shots turn it
// into RGB.
#pragma once

#include <cstdint>
#include <vector>

#include "common/win32.h"

namespace orbex {

// Without pixels it stands for a black frame of its size.
struct FrameView {
    const std::uint8_t *pixels = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;
    int depth = 0;
    DWORD redMask = 0, greenMask = 0, blueMask = 0;
};

// The frame as width x height RGB bytes, 16-bit channels widened with
// rounding; black without pixels. Called by the platform's shots and by
// the headless backend's picture of the last frame.
std::vector<std::uint8_t> frameToRgb(const FrameView &frame);

} // namespace orbex
