// A PNG decoded a row at a time, so that a big source need not be held whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orbex {

class PngRowSink {
  public:
    virtual ~PngRowSink() = default;
    // The picture's size, before any row; false (with why) stops the decoding.
    virtual bool begin(std::uint32_t width, std::uint32_t height, std::string &why) = 0;
    // Row y as width red, green, blue bytes, alpha laid over black.
    virtual void row(std::uint32_t y, const std::uint8_t *rgb) = 0;
};

// Feeds the rows of png to sink, top to bottom. Interlaced pictures are held
// whole while decoding, so they are refused above maxInterlacedPixels.
// Returns false with the reason in why.
bool streamPng(const std::vector<std::uint8_t> &png, PngRowSink &sink, std::string &why,
               std::uint64_t maxInterlacedPixels = 1u << 24);

} // namespace orbex
