// One frame: the frame-rate measurement and the mode machine of start
// picture, article page and end picture.
#pragma once

#include <cstdint>

#include "picture/lockedframe.h"

namespace orbex {

enum : std::uint8_t { MODE_INTRO = 1, MODE_VIEWING = 2, MODE_OUTRO = 3 };

struct FrameState {
    std::uint8_t ViewerMode = MODE_INTRO;
    std::uint32_t dwTotalFrames = 0;  // drawFrame calls since start; the pointer fades in by it
    std::uint32_t dwWindowFrames = 0; // calls in the current measurement window
    std::uint32_t dwWindowStart = 0;  // clock at the start of the window
    std::uint32_t dwWindowCount = 0;  // windows closed since start
    float dwFrames = 0.0f;            // frames per second of the last closed window
    float fScrollStep = 0.5f;         // lines per frame of edge scrolling
};

extern FrameState frameState;

inline constexpr std::uint8_t &ViewerMode = frameState.ViewerMode;
inline constexpr std::uint32_t &dwTotalFrames = frameState.dwTotalFrames;
inline constexpr std::uint32_t &dwWindowFrames = frameState.dwWindowFrames;
inline constexpr std::uint32_t &dwWindowStart = frameState.dwWindowStart;
inline constexpr std::uint32_t &dwWindowCount = frameState.dwWindowCount;
inline constexpr float &dwFrames = frameState.dwFrames;
inline constexpr float &fScrollStep = frameState.fScrollStep;

// Called by updateFrame once per locked frame.
void drawFrame(LockedFrame frame);
// Called first by drawFrame: counts, and once a second the rate and the end
// of a press this frame's predecessors have seen.
void measureFrameRate();

} // namespace orbex
