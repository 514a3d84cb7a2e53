#include "present/overlay.h"

namespace orbex {

void drawScrollBar() {}

void drawHeaderLines(std::uint8_t *, std::int32_t) {}

void drawFrameRate(std::uint8_t *, std::int32_t) {}

void drawPointer(std::uint8_t *, std::int32_t) {}

} // namespace orbex
