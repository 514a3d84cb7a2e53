// The display layer, emulated once for every backend: the display object,
// the display mode, a flipping chain of a primary surface and one back
// buffer in memory, plain offscreen surfaces, and the lock, flip and restore
// rules with their result codes. A flip hands the frame to the backend.
// Tests can make any operation fail and see the calls made.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/ddraw.h"

namespace orbex {

// Display operations a test can make fail.
enum class DisplayOp {
    Create,
    SetCooperativeLevel,
    GetCaps,
    SetDisplayMode,
    CreatePrimary,
    GetAttachedSurface,
    CreateOffscreen,
    GetPixelFormat,
    LockBack,
    FlipPrimary,
    RestorePrimary,
    RestoreBack,
    RestoreOffscreen,
};

// The next `times` calls of op answer code instead of doing their work.
void failDisplay(DisplayOp op, HRESULT code, int times = 1);
// Calls seen by the display, one line each ("SetDisplayMode 640 480 24",
// "Restore back", "Release primary"); Lock and Flip are not listed.
const std::vector<std::string> &displayCalls();
// Frames flipped so far.
std::uint64_t flipCount();
// Every live surface answers DDERR_SURFACELOST until restored: a backend
// whose screen lost its frames (a renderer reset), or a test.
void loseSurfaces();
// The frame of the last flip while the chain lives, else nullptr.
const FrameView *shownFrame();
// Back to no display object, no failures, no calls (tests, backend shutdown).
void resetDisplayLayer();

} // namespace orbex
