// Small tracker modules made on the spot, so the sample magazine and the
// tests have music without shipping binary files. Two tunes that sound clearly
// apart: variant 0 is low and slow (a square wave around C-3), variant 1 high
// and quick (a sawtooth around C-6).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orbex {

// A complete FastTracker 2 module (.xm) of one looping pattern.
std::vector<std::uint8_t> demoModule(int variant);
// Writes demoModule(variant) to path; false when the file cannot be written.
bool writeDemoModule(const std::string &path, int variant);

} // namespace orbex
