// The program's spine: command-line letters, the start-up in its fixed order,
// the message loop that draws a frame whenever no message waits.
#pragma once

#include "platform/windows.h"

namespace orbex {

// Called by main, the program's entry: returns the quit message's wParam (0), or 1 when no
// window could be made.
int WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, char *lpCmdLine, int nCmdShow);
// Called by WinMain (and orbex-tool render): display, assets and the first
// frame; 1 on a complete start, 0 when doInit failed.
int initEngine(HINSTANCE hInstance, HINSTANCE hPrevInstance, char *lpCmdLine, int nCmdShow);
// Handed to doInit by initEngine, its failure path after the window exists:
// release, tell, destroy; returns 0.
int reportInitFailure(HWND hWnd);
// Called first by WinMain: the letters n, l and k, wherever they stand.
void scanCommandLine(const char *lpCmdLine);

} // namespace orbex
