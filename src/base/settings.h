// The switches of a run and the flags that several subsystems share. Each
// group is one struct, so that resetViewer puts all of it back at once; the
// original's names are references into it.
#pragma once

#include <cstdint>

#include "platform/ddraw.h"
#include "platform/windows.h"

namespace orbex {

constexpr std::uint8_t INIT_DONE = 100;

struct ViewerSettings {
    // Command-line letters, read before anything else runs.
    std::uint8_t bMusicOn = 1; // n clears it: no music
    std::uint8_t bLogOn = 0;   // l sets it: orbex.log is written
    std::uint8_t bMouseOn = 1; // k clears it: the pointer moves by the keypad only
    // The bytes of orbex.cfg, read during the start-up.
    std::uint8_t nSampleRateCode = 0;    // first: read by startMusic, used again by switchMusic
    std::uint8_t nColourDepthChoice = 1; // second: doInit and detectPixelFormat
    std::uint8_t nPointerChoice = 1;     // third: the window procedure and drawPointer
    // Switched by keys.
    std::uint8_t bPointerOn = 1;     // F5: pointer picture and edge scrolling
    std::uint8_t bShowFrameRate = 0; // F9: the frame-rate line
};

struct RunState {
    // 0 while the start-up runs, INIT_DONE once it reached the archive; the
    // loop draws frames only then.
    std::uint8_t nInitStage = 0;
    // Set by the window procedure while the viewer is the active application.
    std::uint8_t bActive = 0;
    // Set, never cleared, by any step that needs the program to end.
    std::uint8_t bQuitRequest = 0;
    // The viewer window, owner of every message box; made by doInit.
    HWND hViewerWindow = nullptr;
    // The display objects of doInit; the primary surface also tells the
    // pixel format. The back buffer goes with the primary's chain.
    IDirectDraw *pDirectDraw = nullptr;
    IDirectDrawSurface *pPrimarySurface = nullptr;
    IDirectDrawSurface *pBackSurface = nullptr;
    IDirectDrawSurface *pOffscreenSurface = nullptr;
};

extern ViewerSettings viewerSettings;
extern RunState runState;

inline constexpr std::uint8_t &bMusicOn = viewerSettings.bMusicOn;
inline constexpr std::uint8_t &bLogOn = viewerSettings.bLogOn;
inline constexpr std::uint8_t &bMouseOn = viewerSettings.bMouseOn;
inline constexpr std::uint8_t &nSampleRateCode = viewerSettings.nSampleRateCode;
inline constexpr std::uint8_t &nColourDepthChoice = viewerSettings.nColourDepthChoice;
inline constexpr std::uint8_t &nPointerChoice = viewerSettings.nPointerChoice;
inline constexpr std::uint8_t &bPointerOn = viewerSettings.bPointerOn;
inline constexpr std::uint8_t &bShowFrameRate = viewerSettings.bShowFrameRate;

inline constexpr std::uint8_t &nInitStage = runState.nInitStage;
inline constexpr std::uint8_t &bActive = runState.bActive;
inline constexpr std::uint8_t &bQuitRequest = runState.bQuitRequest;
inline constexpr HWND &hViewerWindow = runState.hViewerWindow;
inline constexpr IDirectDraw *&pDirectDraw = runState.pDirectDraw;
inline constexpr IDirectDrawSurface *&pPrimarySurface = runState.pPrimarySurface;
inline constexpr IDirectDrawSurface *&pBackSurface = runState.pBackSurface;
inline constexpr IDirectDrawSurface *&pOffscreenSurface = runState.pOffscreenSurface;

} // namespace orbex
