// The viewer window and its hold on the display: the mode, the flipping chain
// of primary surface and back buffer, the offscreen surface.
#pragma once

#include <cstdint>

#include "platform/ddraw.h"

namespace orbex {

constexpr std::int32_t SCREENWIDTH = 640;
constexpr std::int32_t SCREENHEIGHT = 480;

extern HWND hViewerWindow;
extern IDirectDraw *pDirectDraw;
extern IDirectDrawSurface *pPrimarySurface;
extern IDirectDrawSurface *pBackSurface; // goes with the primary's chain
extern IDirectDrawSurface *pOffscreenSurface;

// Called once by initEngine: window, mode, surfaces; 1 when all are ready.
int doInit(HINSTANCE hInstance, int nCmdShow);
// Called by updateFrame when a surface was lost.
HRESULT restoreAll();
// Called by the shutdown and by reportInitFailure; safe to call twice.
void releaseDisplayObjects();

void resetDisplay();

} // namespace orbex
