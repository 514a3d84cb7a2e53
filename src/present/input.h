// The pointer and the left-button press as the page sees them. The window
// procedure writes them from messages; the frame reads the pointer once per
// viewing frame and clears a press it has seen once a second.
#pragma once

#include <cstdint>

namespace orbex {

struct MouseState {
    std::int32_t nMouseX = 0;     // pointer x in frame pixels
    std::int32_t nMouseY = 0;     // pointer y in frame pixels
    std::int32_t bLeftButton = 0; // 1 while a left press (or Space) counts
    std::int32_t bLinkTaken = 0;  // 1 once a link was followed in this press
    std::int32_t pressSeen = 0;   // 1 once a frame has seen the press in force
};

extern MouseState mouseState;

inline constexpr std::int32_t &nMouseX = mouseState.nMouseX;
inline constexpr std::int32_t &nMouseY = mouseState.nMouseY;
inline constexpr std::int32_t &bLeftButton = mouseState.bLeftButton;
inline constexpr std::int32_t &bLinkTaken = mouseState.bLinkTaken;
inline constexpr std::int32_t &pressSeen = mouseState.pressSeen;

// Called by drawFrame once per viewing frame, before the pointer is drawn:
// the system pointer's position, unless the letter k turned the mouse off.
void readPointerPosition();

} // namespace orbex
