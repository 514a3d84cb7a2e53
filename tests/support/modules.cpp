#include "support/modules.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace orbex::test {

namespace {
std::uint32_t le32(const std::vector<std::uint8_t> &b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16) | static_cast<std::uint32_t>(b[at + 3])
                                                                                      << 24;
}
std::uint32_t le16(const std::vector<std::uint8_t> &b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8);
}
} // namespace

Wave readWave(const std::string &path) {
    Wave wave;
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVEfmt ", 8) != 0 ||
        std::memcmp(b.data() + 36, "data", 4) != 0)
        return wave;
    std::uint32_t data = le32(b, 40);
    wave.bValid = le32(b, 4) == 36 + data && le32(b, 16) == 16 && le16(b, 20) == 1 && le16(b, 22) == 2 &&
                  le16(b, 34) == 16 && le16(b, 32) == 4 && le32(b, 28) == le32(b, 24) * 4 &&
                  b.size() == 44 + static_cast<std::size_t>(data);
    wave.dwRate = le32(b, 24);
    for (std::size_t i = 44; i + 1 < b.size(); i += 2)
        wave.samples.push_back(static_cast<std::int16_t>(le16(b, i)));
    return wave;
}

double rmsLevel(const Wave &wave, std::size_t first, std::size_t last) {
    last = std::min(last, wave.frames());
    if (first >= last)
        return 0.0;
    double sum = 0.0;
    for (std::size_t i = 2 * first; i < 2 * last; ++i)
        sum += static_cast<double>(wave.samples[i]) * wave.samples[i];
    return std::sqrt(sum / static_cast<double>(2 * (last - first)));
}

std::size_t signChanges(const Wave &wave, std::size_t first, std::size_t last) {
    last = std::min(last, wave.frames());
    std::size_t changes = 0;
    for (std::size_t i = first + 1; i < last; ++i)
        if ((wave.samples[2 * i] < 0) != (wave.samples[2 * (i - 1)] < 0))
            ++changes;
    return changes;
}

} // namespace orbex::test
