// Small magazine pictures and fonts for the tests: a PCX encoder, a raw
// header for hand-made pixel data, and font files.
#pragma once

#include <cstdint>

#include "support/viewer_test.h"

namespace orbex::test {

// The 128-byte header of an 8-bit single-plane PCX with the given extent.
Bytes pcxHeader(int xmin, int ymin, int xmax, int ymax);

// A complete PCX: header, run-length coded rows of width x height indices
// (row-major), the marker 0x0C and the 768-byte palette.
Bytes encodePcx(int width, int height, const Bytes &indices, const Bytes &palette);

// A palette whose entry i is (i, 255 - i, i / 2).
Bytes testPalette();

// A font file of `size` bytes (at most 32,768) in which glyph g's pixel at
// column c, row r is 1 exactly when set(g, c, r).
template <typename Set> Bytes fontFile(std::size_t size, Set set) {
    Bytes out;
    for (int g = 0; g < 256; ++g)
        for (int c = 0; c < 8; ++c)
            for (int r = 0; r < 16; ++r)
                if (out.size() < size)
                    out.push_back(set(g, c, r) ? 1 : 0);
    return out;
}

} // namespace orbex::test
