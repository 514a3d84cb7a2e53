#include "shell/config.h"

#include "shell/textfile.h"

namespace orbex {

std::uint8_t nSampleRateCode = 0;
std::uint8_t nColourDepthChoice = 1;
std::uint8_t nPointerChoice = 1;

namespace {
constexpr char CONFIG_FILE[] = "orbex.cfg";
constexpr std::uint8_t DEFAULT_CONFIG[3] = {1, 1, 1};
} // namespace

std::optional<std::uint8_t> readConfigByte(int n) {
    TextFileReader cfg(CONFIG_FILE);
    if (!cfg.isOpen())
        return std::nullopt;
    int c = 0;
    for (int i = 0; i < n; ++i)
        c = cfg.getByte();
    // The end of the file reads as getc's EOF, whose low byte is 255.
    return static_cast<std::uint8_t>(c);
}

void createConfigFile() {
    TextFileWriter cfg(CONFIG_FILE, TextFileMode::Truncate);
    cfg.write(DEFAULT_CONFIG, sizeof DEFAULT_CONFIG);
}

void resetConfig() {
    nSampleRateCode = 0;
    nColourDepthChoice = 1;
    nPointerChoice = 1;
}

} // namespace orbex
