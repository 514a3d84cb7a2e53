// Frames as PNG pictures: RGB, converted from the frame's depth.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/backend.h"

namespace orbex {

// Converts a frame of 16 bits (with its channel masks) or 24 bits (blue,
// green, red bytes) into width x height RGB bytes; black without pixels.
std::vector<std::uint8_t> frameToRgb(const FrameView &frame);
bool writeRgbPng(const std::string &path, const std::vector<std::uint8_t> &rgb, int width, int height);
// A name in folder that no file has yet: orbex-shot-0001.png and on.
std::string freeShotName(const std::string &folder);

} // namespace orbex
