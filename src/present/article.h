// The article page: the layout pass over the current text with its colour
// codes, article links and music links, drawn into the frame.
#pragma once

#include "picture/lockedframe.h"
#include "present/layout.h"

namespace orbex {

// Called by drawFrame in viewing mode after the background copy.
void drawArticle(LockedFrame frame);

} // namespace orbex
