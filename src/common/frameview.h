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

// Rows first to last of the frame as RGBA (red, green, blue, 255) into out,
// which holds width x height x 4 bytes: the same pixels as frameToRgb, a
// whole row at a time with SIMD where WebAssembly has it. Rows of a frame
// without pixels, or of another depth, are black. Called by the browser
// backend, whose page puts the rows on its canvas as they are.
void frameToRgba(const FrameView &frame, int first, int last, std::uint8_t *out);

// A 16-bit channel's widening as one multiply, add and shift in 16 bits,
// (value * multiplier + add) >> shift, found for the channel's mask and
// checked against the rounding frameToRgb does for every value; fits is
// false where no such step exists (widths above 8 bits). Called by
// frameToRgba, and by its tests.
struct ChannelWidening {
    std::uint16_t multiplier = 0;
    std::uint16_t add = 0;
    std::uint8_t shift = 0;
    bool fits = false;
};
ChannelWidening channelWidening(DWORD mask);

} // namespace orbex
