#include "support/pictures.h"

namespace orbex::test {

namespace {
void putWord(Bytes &out, std::size_t at, int value) {
    out[at] = static_cast<std::uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}
} // namespace

Bytes pcxHeader(int xmin, int ymin, int xmax, int ymax) {
    Bytes out(128, 0);
    out[0] = 0x0A; // manufacturer
    out[1] = 5;    // version
    out[2] = 1;    // run-length coding
    out[3] = 8;    // bits per pixel
    putWord(out, 4, xmin);
    putWord(out, 6, ymin);
    putWord(out, 8, xmax);
    putWord(out, 10, ymax);
    out[65] = 1; // planes
    putWord(out, 66, xmax - xmin + 1);
    return out;
}

Bytes encodePcx(int width, int height, const Bytes &indices, const Bytes &palette) {
    Bytes out = pcxHeader(0, 0, width - 1, height - 1);
    for (int y = 0; y < height; ++y) {
        int x = 0;
        while (x < width) {
            std::uint8_t value = indices[static_cast<std::size_t>(y * width + x)];
            int run = 1;
            while (x + run < width && run < 63 && indices[static_cast<std::size_t>(y * width + x + run)] == value)
                ++run;
            if (run > 1 || value >= 0xC0) {
                out.push_back(static_cast<std::uint8_t>(0xC0 | run));
                out.push_back(value);
            } else {
                out.push_back(value);
            }
            x += run;
        }
    }
    out.push_back(0x0C);
    out.insert(out.end(), palette.begin(), palette.end());
    return out;
}

Bytes testPalette() {
    Bytes palette(768);
    for (int i = 0; i < 256; ++i) {
        palette[static_cast<std::size_t>(3 * i)] = static_cast<std::uint8_t>(i);
        palette[static_cast<std::size_t>(3 * i + 1)] = static_cast<std::uint8_t>(255 - i);
        palette[static_cast<std::size_t>(3 * i + 2)] = static_cast<std::uint8_t>(i / 2);
    }
    return palette;
}

} // namespace orbex::test
