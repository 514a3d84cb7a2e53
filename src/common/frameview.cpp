#include "common/frameview.h"

#include <bit>
#include <cstddef>

namespace orbex {

namespace {

// A channel of a 16-bit pixel widened to 8 bits, whatever its width.
std::uint8_t expandChannel(std::uint32_t word, DWORD mask) {
    if (mask == 0)
        return 0;
    int shift = std::countr_zero(mask);
    std::uint32_t max = mask >> shift;
    std::uint32_t value = (word & mask) >> shift;
    return static_cast<std::uint8_t>((value * 255 + max / 2) / max);
}

} // namespace

std::vector<std::uint8_t> frameToRgb(const FrameView &frame) {
    const int width = frame.width;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * frame.height * 3, 0);
    if (frame.pixels == nullptr)
        return rgb;
    for (int y = 0; y < frame.height; ++y) {
        const std::uint8_t *row = frame.pixels + static_cast<std::ptrdiff_t>(y) * frame.pitch;
        std::uint8_t *out = rgb.data() + static_cast<std::ptrdiff_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            if (frame.depth == 24) {
                out[3 * x] = row[3 * x + 2];
                out[3 * x + 1] = row[3 * x + 1];
                out[3 * x + 2] = row[3 * x];
            } else if (frame.depth == 16) {
                std::uint32_t word = row[2 * x] | (row[2 * x + 1] << 8);
                out[3 * x] = expandChannel(word, frame.redMask);
                out[3 * x + 1] = expandChannel(word, frame.greenMask);
                out[3 * x + 2] = expandChannel(word, frame.blueMask);
            }
        }
    }
    return rgb;
}

} // namespace orbex
