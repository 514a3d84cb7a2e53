// What completes the article page after the text: the scroll bar (drawn into
// the background for the next frame), the author and title line, the
// frame-rate line and the pointer picture.
#pragma once

#include <cstdint>

#include "picture/lockedframe.h"

namespace orbex {

// Called by drawFrame in viewing mode, in this order.
void drawScrollBar();
void drawHeaderLines(LockedFrame frame);
void drawFrameRate(LockedFrame frame);
void drawPointer(LockedFrame frame);

} // namespace orbex
