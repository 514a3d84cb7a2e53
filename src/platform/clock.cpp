#include "platform/clock.h"

#include <chrono>

#include "platform/internal.h"

namespace orbex {

namespace {

struct Clock {
    bool isVirtual = false;
    DWORD virtualNow = 0;
    DWORD virtualStep = 0;
};

Clock clock;

} // namespace

DWORD timeGetTime() {
    if (clock.isVirtual)
        return clock.virtualNow;
    // A monotonic clock counted from boot on Linux, like the original's.
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<DWORD>(ms.count());
}

void useVirtualClock(DWORD startMs, DWORD stepMs) { clock = Clock{true, startMs, stepMs}; }

DWORD virtualClockStep() { return clock.isVirtual ? clock.virtualStep : 0; }

void advanceVirtualClock(DWORD ms) { clock.virtualNow += ms; }

void resetClock() { clock = Clock{}; }

} // namespace orbex
