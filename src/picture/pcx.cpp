#include "picture/pcx.h"

namespace orbex {

std::array<std::uint8_t, 640 * 480> picPcx{};
std::array<std::uint8_t, 768> palPcx{};

void readPcx(const char *, std::uint8_t, std::int32_t, std::int32_t) {}

void readCursorPcx(const char *, std::uint8_t, std::int32_t, std::int32_t) {}

void resetPcx() {
    picPcx.fill(0);
    palPcx.fill(0);
}

} // namespace orbex
