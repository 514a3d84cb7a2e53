// Frames as PNG pictures (frameToRgb, common/frameview.h, makes their RGB). Called by
// the platform's shot calls to the backends (Platform::writePng,
// Platform::saveScreenshot); the browser build has no writer and fails.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/frameview.h"

namespace orbex {

// Writes a PNG file (created or emptied, never through a symbolic link);
// false, with the reason in *why when why is given, when it cannot.
bool writeRgbPng(const std::string &path, const std::vector<std::uint8_t> &rgb, int width, int height,
                 std::string &why);
// Writes the picture as a new file in folder under the first name that
// nothing has yet, not even a dangling link: orbex-shot-0001.png and on. The
// name is left in *path; false, with the reason in *why, when it cannot.
bool writeNewShot(const std::string &folder, const std::vector<std::uint8_t> &rgb, int width, int height,
                  std::string *path, std::string &why);

} // namespace orbex
