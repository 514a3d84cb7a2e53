// The configuration file "orbex.cfg": three bytes (sample-rate code, colour
// depth choice, pointer choice), created as 1, 1, 1 when missing. The
// settings themselves are fields of ViewerSettings.
#pragma once

#include <cstdint>
#include <optional>

namespace orbex {

// Called by startMusic, doInit and initAssets, each for its own byte: byte
// n (1..3) of the file from a fresh open; a byte past the end reads 255.
// Empty when the file cannot be opened: the caller keeps its setting.
std::optional<std::uint8_t> readConfigByte(int n);
// Called by startMusic when the file is missing: writes 1, 1, 1.
void createConfigFile();

} // namespace orbex
