// Music for the tests: the demo modules, and reading what the capture wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "demo_module.h"

namespace orbex::test {

// A 16-bit stereo WAV file as the audio capture writes it.
struct Wave {
    bool bValid = false; // header as expected and sizes matching the file
    std::uint32_t dwRate = 0;
    std::vector<std::int16_t> samples; // left, right, left, ...
    std::size_t frames() const { return samples.size() / 2; }
};
Wave readWave(const std::string &path);
// Root mean square level of frames [first, last) of both channels, 0..32767.
double rmsLevel(const Wave &wave, std::size_t first, std::size_t last);
// How often the left channel changes sign in frames [first, last): a rough pitch.
std::size_t signChanges(const Wave &wave, std::size_t first, std::size_t last);

} // namespace orbex::test
