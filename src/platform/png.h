// Frames as PNG pictures: RGB, converted from the frame's depth. Called by
// the platform's shot calls to the backends (Platform::writePng,
// Platform::saveScreenshot); the browser build has no writer and fails.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/backend.h"

namespace orbex {

// Converts a frame of 16 bits (with its channel masks) or 24 bits (blue,
// green, red bytes) into width x height RGB bytes; black without pixels.
std::vector<std::uint8_t> frameToRgb(const FrameView &frame);
// Writes a PNG file (created or emptied, never through a symbolic link);
// false, with the reason in *why when why is given, when it cannot.
bool writeRgbPng(const std::string &path, const std::vector<std::uint8_t> &rgb, int width, int height,
                 std::string *why = nullptr);
// Writes the picture as a new file in folder under the first name that
// nothing has yet, not even a dangling link: orbex-shot-0001.png and on. The
// name is left in *path; false, with the reason in *why, when it cannot.
bool writeNewShot(const std::string &folder, const std::vector<std::uint8_t> &rgb, int width, int height,
                  std::string *path, std::string *why);

} // namespace orbex
