// The viewer window and its hold on the display: the mode, the flipping chain
// of primary surface and back buffer, the offscreen surface. The handles
// themselves are RunState's (base/settings.h), since several parts use them.
#pragma once

#include <cstdint>

#include "base/settings.h"
#include "platform/ddraw.h"

namespace orbex {

// The start-up's failure report after the window exists: release, tell,
// destroy; returns 0, which doInit returns as its own result.
using InitFailureHandler = int (*)(HWND hWnd);

// Called once by initEngine: window, mode, surfaces; 1 when all are ready.
// The start-up hands down the window procedure the class registers and its
// failure report, as a Win32 window class carries its procedure.
int doInit(HINSTANCE hInstance, int nCmdShow, WNDPROC lpfnWndProc, InitFailureHandler reportInitFailure);
// Called by updateFrame when a surface was lost.
HRESULT restoreAll();
// Called by the shutdown, by reportInitFailure and by resetViewer; safe to
// call twice.
void releaseDisplayObjects();

} // namespace orbex
