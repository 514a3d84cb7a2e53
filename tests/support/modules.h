// Small tracker modules made on the spot: tests and the sample magazine need
// music without shipping binary files. Two tunes that sound clearly apart:
// variant 0 is low and slow (a square wave around C-3), variant 1 high and
// quick (a sawtooth around C-6).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orbex::test {

// A complete FastTracker 2 module (.xm) of one looping pattern.
std::vector<std::uint8_t> demoModule(int variant);
// Writes demoModule(variant) to path; false when the file cannot be written.
bool writeDemoModule(const std::string &path, int variant);

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
