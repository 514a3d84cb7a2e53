// Frames as PNG pictures: 640x480 RGB, converted from the frame's depth.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/windows.h"

namespace orbex {

// Converts a 640x480 frame of 16 bits (with its channel masks) or 24 bits
// (blue, green, red bytes) into RGB bytes.
std::vector<std::uint8_t> frameToRgb(const std::uint8_t *pixels, int pitch, int depth, DWORD redMask, DWORD greenMask,
                                     DWORD blueMask);
bool writeRgbPng(const std::string &path, const std::vector<std::uint8_t> &rgb, int width, int height);
// A name in folder that no file has yet: orbex-shot-0001.png and on.
std::string freeShotName(const std::string &folder);

} // namespace orbex
