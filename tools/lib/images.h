// Pictures for the magazine: PNG sources in, the viewer's PCX and raw
// pictures out, and a PCX decoder for checking what was written.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "report.h"

namespace orbex {

// Red, green, blue bytes, rows top to bottom.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// Palette indices with a 256-entry palette of red, green, blue.
struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> indices;
    std::array<std::uint8_t, 768> palette{};
};

// Any PNG as 8-bit RGB; transparent pixels are laid over black, which is
// the pointer picture's transparent colour.
bool readPng(const std::string &path, RgbImage &image, Report &report);
bool writePng(const std::string &path, const RgbImage &image);

// Up to 256 colours are kept exactly; more are reduced by median cut.
IndexedImage quantize(const RgbImage &image, Report &report);
// An 8-bit single-plane run-length PCX (version 5) with its palette at the
// end. The viewer reads rows of exactly width bytes, so the width must be even
// for the written lines to need no padding.
bool encodePcx(const IndexedImage &image, std::vector<std::uint8_t> &out, Report &report);
// Decodes what encodePcx writes (8 bits, one plane); reports what the viewer
// would trip over.
bool decodePcx(const std::vector<std::uint8_t> &file, IndexedImage &image, Report &report);

// "data/begin.raw": 640x480 red, green, blue bytes.
bool encodeRaw(const RgbImage &image, std::vector<std::uint8_t> &out, Report &report);

bool readBytes(const std::string &path, std::vector<std::uint8_t> &bytes);
bool writeBytes(const std::string &path, const std::vector<std::uint8_t> &bytes);

} // namespace orbex
