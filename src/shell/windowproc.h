// The viewer window's procedure: keys, mouse buttons, activation, the quit
// request and the shutdown.
#pragma once

#include "platform/windows.h"

namespace orbex {

// Registered by doInit as the window class's procedure.
LRESULT viewerWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace orbex
