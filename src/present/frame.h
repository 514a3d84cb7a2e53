// One frame: the frame-rate measurement and the mode machine of start
// picture, article page and end picture.
#pragma once

#include <cstdint>

namespace orbex {

enum : std::uint8_t { MODE_INTRO = 1, MODE_VIEWING = 2, MODE_OUTRO = 3 };

extern std::uint8_t ViewerMode;

extern std::uint32_t dwTotalFrames;  // drawFrame calls since start; the pointer fades in by it
extern std::uint32_t dwWindowFrames; // calls in the current measurement window
extern std::uint32_t dwWindowStart;  // clock at the start of the window
extern std::uint32_t dwWindowCount;  // windows closed since start
extern float dwFrames;               // frames per second of the last closed window
extern float fScrollStep;            // lines per frame of edge scrolling

// Called by updateFrame once per locked frame.
void drawFrame(std::uint8_t *frame, std::int32_t pitch);
// First step of every frame: counts, and once a second the rate.
void measureFrameRate();

void resetFrame();

} // namespace orbex
