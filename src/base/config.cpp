#include "base/config.h"

#include "base/textfile.h"

namespace orbex {

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

} // namespace orbex
