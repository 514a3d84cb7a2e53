// The millisecond clock: timeGetTime, milliseconds since the system started,
// wrapping at 2^32. In a scripted run it is a virtual clock that moves one
// step a flip (platform/internal.h), so that runs repeat exactly.
#pragma once

#include "common/win32.h"

namespace orbex {

// Called by measureFrameRate, once per frame.
DWORD timeGetTime();

} // namespace orbex
