// Pictures for the magazine: PNG sources in, the viewer's PCX and raw
// pictures out, and a PCX decoder for checking what was written. One job a
// file: PNG (pngimages.cpp), colour reduction (quantize.cpp), the viewer's
// formats (pcx.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "files.h"
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

// The two shapes of the viewer's pictures: start, end and background
// pictures fill the 640x480 screen; the pointer is 32x32 with its hot spot
// at the top-left corner and pure black as its transparent colour.
enum class PictureKind { Screen, Pointer };
// What to do with a source of another size: refuse it, stretch it to the
// size, or lay it unscaled on black (centred; the pointer at the top left,
// where its hot spot is), cutting what sticks out.
enum class Fit { None, Scale, Pad };

// "640x480": a size in a message.
inline std::string sizeText(std::uint64_t width, std::uint64_t height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

// PNG in and out (pngimages.cpp).
int pictureWidth(PictureKind kind);
int pictureHeight(PictureKind kind);

// A PNG file's bytes as 8-bit RGB; transparent pixels are laid over black,
// which is the pointer picture's transparent colour. Refuses pictures of more
// than maxPixels and headers that claim more pixels than the file can hold.
bool decodePng(const std::vector<std::uint8_t> &png, RgbImage &image, Report &report,
               std::uint64_t maxPixels = 1u << 26);
// A PNG file's bytes as a picture of the kind's size. With Fit::None another
// size is an error naming the size wanted; the other fits read the source a
// row at a time, so even a huge source takes little memory.
bool decodePicture(const std::vector<std::uint8_t> &png, PictureKind kind, Fit fit, RgbImage &image, Report &report);
// The same from files; messages start with the path.
bool readPng(const std::string &path, RgbImage &image, Report &report);
bool readPicture(const std::string &path, PictureKind kind, Fit fit, RgbImage &image, Report &report);
// The same for a file below a folder, never through a link.
bool readPicture(const Folder &folder, const std::string &name, PictureKind kind, Fit fit, RgbImage &image,
                 Report &report);
bool encodePng(const RgbImage &image, std::vector<std::uint8_t> &png);
bool writePng(const std::string &path, const RgbImage &image);
// The size a PNG's header gives, without decoding; false when it has none.
bool pngSize(const std::vector<std::uint8_t> &png, std::uint32_t &width, std::uint32_t &height);

// Colour reduction (quantize.cpp).
struct QuantizeOptions {
    bool dither = false;
    // Keeps pure black apart: black pixels get the black entry, no other
    // pixel gets it, and no other entry is pure black.
    bool pointer = false;
};
// Up to 256 colours are kept exactly; more are reduced with libimagequant.
IndexedImage quantize(const RgbImage &image, Report &report, const QuantizeOptions &options = {});
// The viewer's PCX and raw pictures (pcx.cpp).
// An 8-bit single-plane run-length PCX (version 5) with its palette at the
// end. The viewer reads rows of exactly width bytes, so the width must be even
// for the written lines to need no padding.
bool encodePcx(const IndexedImage &image, std::vector<std::uint8_t> &out, Report &report);
// Decodes what encodePcx writes (8 bits, one plane); reports what the viewer
// would trip over. With an expected size, a header claiming another size is
// an error before anything is decoded; without one, a header claiming more
// pixels than the file's run-length data can hold is.
bool decodePcx(const std::vector<std::uint8_t> &file, IndexedImage &image, Report &report, int expectedWidth = 0,
               int expectedHeight = 0);

// "data/begin.raw": 640x480 red, green, blue bytes.
bool encodeRaw(const RgbImage &image, std::vector<std::uint8_t> &out, Report &report);

} // namespace orbex
