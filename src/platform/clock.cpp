#include "platform/clock.h"

#include <chrono>

namespace orbex {

namespace {
bool bVirtual = false;
DWORD dwVirtualNow = 0;
DWORD dwVirtualStep = 0;
} // namespace

DWORD timeGetTime() {
    if (bVirtual)
        return dwVirtualNow;
    // A monotonic clock counted from boot on Linux, like the original's.
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<DWORD>(ms.count());
}

void useVirtualClock(DWORD startMs, DWORD stepMs) {
    bVirtual = true;
    dwVirtualNow = startMs;
    dwVirtualStep = stepMs;
}

bool virtualClockInUse() { return bVirtual; }

DWORD virtualClockStep() { return bVirtual ? dwVirtualStep : 0; }

void advanceVirtualClock(DWORD ms) { dwVirtualNow += ms; }

void resetClock() {
    bVirtual = false;
    dwVirtualNow = 0;
    dwVirtualStep = 0;
}

} // namespace orbex
