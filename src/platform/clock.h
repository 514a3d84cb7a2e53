// The millisecond clock: timeGetTime, milliseconds since the system started,
// wrapping at 2^32. A virtual clock that moves only when told makes scripted
// runs repeatable.
#pragma once

#include "platform/windows.h"

namespace orbex {

// Read once per frame by the frame-rate measurement.
DWORD timeGetTime();

// Switches to a virtual clock that starts at startMs and moves only by
// advanceVirtualClock; the headless backend moves it at every flip.
void useVirtualClock(DWORD startMs, DWORD stepMs);
bool virtualClockInUse();
// The step of the virtual clock in milliseconds, 0 for the real clock.
DWORD virtualClockStep();
void advanceVirtualClock(DWORD ms);
// Back to the real clock (tests).
void resetClock();

} // namespace orbex
