// A palette picture for the tools' picture tests: long runs (past 63),
// single pixels, and values of 0xC0 and above, which PCX must escape.
#pragma once

#include "images.h"

namespace orbex::test {

inline IndexedImage testPattern(int width, int height) {
    IndexedImage image;
    image.width = width;
    image.height = height;
    image.indices.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.indices[static_cast<std::size_t>(y) * width + x] =
                static_cast<std::uint8_t>(x < width / 2 ? (y * 7) & 0xFF : (x * 13 + y) & 0xFF);
    for (int i = 0; i < 768; ++i)
        image.palette[i] = static_cast<std::uint8_t>(255 - i % 256);
    return image;
}

} // namespace orbex::test
