// What completes the article page after the text: the scroll bar (drawn into
// the background for the next frame), the author and title line, the
// frame-rate line and the pointer picture.
#pragma once

#include <cstdint>

namespace orbex {

// Called by drawFrame in viewing mode, in this order.
void drawScrollBar();
void drawHeaderLines(std::uint8_t *frame, std::int32_t pitch);
void drawFrameRate(std::uint8_t *frame, std::int32_t pitch);
void drawPointer(std::uint8_t *frame, std::int32_t pitch);

} // namespace orbex
