// The program's spine: command-line letters, the start-up in its fixed order,
// the message loop that draws a frame whenever no message waits.
#pragma once

#include <cstdint>

#include "platform/windows.h"

namespace orbex {

constexpr std::uint8_t INIT_DONE = 100;

// Command-line switches, set before anything else runs.
extern std::uint8_t bMusicOn; // letter n clears it: no music
extern std::uint8_t bLogOn;   // letter l sets it: orbex.log is written
extern std::uint8_t bMouseOn; // letter k clears it: pointer moves by the keypad only

// 0 while the start-up runs, INIT_DONE once it reached the archive; frames are
// drawn by the loop only then.
extern std::uint8_t nInitStage;
// Set by the window procedure while the viewer is the active application.
extern std::uint8_t bActive;
// Set, never cleared, by any step that needs the program to end.
extern std::uint8_t bQuitRequest;

// The program's entry: returns the quit message's wParam (0), or 1 when no
// window could be made.
int WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, char *lpCmdLine, int nCmdShow);
// Display, assets and the first frame; 1 on a complete start, 0 when doInit failed.
int initEngine(HINSTANCE hInstance, HINSTANCE hPrevInstance, char *lpCmdLine, int nCmdShow);
// doInit's failure path after the window exists: release, tell, destroy; returns 0.
int reportInitFailure(HWND hWnd);
// The letters n, l and k, wherever they stand.
void scanCommandLine(const char *lpCmdLine);

void resetStartup();

} // namespace orbex
