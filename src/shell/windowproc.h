// The viewer window's procedure: keys, mouse buttons, activation, the quit
// request and the shutdown; and the per-frame reading of the pointer.
#pragma once

#include <cstdint>

#include "platform/windows.h"

namespace orbex {

// MouseState: written by readPointerPosition, the keypad and the buttons.
extern std::int32_t nMouseX;
extern std::int32_t nMouseY;
extern std::int32_t bLeftButton; // 1 while a left press (or Space) counts
extern std::int32_t bLinkTaken;  // 1 once a link was followed in this press

extern std::uint8_t bPointerOn;     // F5; pointer picture and edge scrolling
extern std::uint8_t bShowFrameRate; // F9; the frame-rate line

// Registered by doInit as the window class's procedure.
LRESULT viewerWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
// Called by drawFrame once per viewing frame, before the pointer is drawn.
void readPointerPosition();

void resetWindowProc();

} // namespace orbex
