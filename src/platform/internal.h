// What the units of the platform call on each other: the window system
// (windows.cpp), the display layer (ddraw.cpp), the sound library
// (bass.cpp), the clock (clock.cpp), scripted runs (script.cpp), the places
// (places.cpp) and the installed backend (install.cpp). Neither the viewer
// nor a backend includes it; each unit keeps its state in one struct, which
// its reset assigns afresh (resetPlatform, platform/testing.h).
#pragma once

#include "platform/backend.h"
#include "platform/windows.h"

namespace orbex {

// ---- The installed backend (install.cpp)

// The backend's window and screen, and its music; nullptr before install.
VideoBackend *videoBackend();
MusicEngine *musicEngine();
// The platform's calls as the backends get them.
Platform &platformCalls();

// ---- Window system (windows.cpp)

// Queues a message from the input (a backend's events, a script) for the
// viewer window; dropped when no window exists. A left-button release whose
// press was queued after the last frame drawn is held back, with all input
// behind it, until a frame has been drawn, so that every click reaches a
// frame.
void postInputMessage(UINT message, WPARAM wParam, LPARAM lParam);
// Called by the display layer when a frame has been drawn into the back
// buffer, or could not be: held input goes on to the viewer.
void releaseHeldInput();
// The viewer window's procedure gets WM_CLOSE now, as SendMessage sends it,
// so that it closes before this returns; nothing without a window.
void closeWindowNow();
void resetWindowSystem();

// ---- Display layer (ddraw.cpp)

// Every live surface answers DDERR_SURFACELOST until restored.
void loseSurfaces();
// The last flipped frame, kept after the chain is released; without pixels
// (a black 640x480 frame) before the first flip.
FrameView shownFrame();
void resetDisplayLayer();

// ---- Sound library (bass.cpp)

// Called by installBackend: the BASS_* operations play through engine.
void useMusicEngine(MusicEngine *engine);
void resetSoundLayer();

// ---- Clock (clock.cpp)

// Switches timeGetTime to a virtual clock that starts at startMs and moves
// only by advanceVirtualClock; the display layer moves it at every flip.
void useVirtualClock(DWORD startMs, DWORD stepMs);
// The step of the virtual clock in milliseconds, 0 for the real clock.
DWORD virtualClockStep();
void advanceVirtualClock(DWORD ms);
void resetClock();

// ---- Scripted runs (script.cpp)

// Called by installBackend for a backend that a script may play: reads
// ORBEX_CLOCK (starting the virtual clock) and ORBEX_SCRIPT when
// fromEnvironment is set; with always, the input is the script even without
// one. False, after a line on standard error, when either cannot be used: a
// run without them would end with success having done something else.
bool startAutomation(bool always, bool fromEnvironment);
// Whether a script plays the input instead of the backend.
bool inputScripted();
// Called by the window system instead of the backend's pumpEvents.
void playScript(bool windowOpen);
// The pointer as the script's last "move" left it.
POINT scriptCursor();
void resetAutomation();

// ---- Places (places.cpp)

void resetPlaces();

} // namespace orbex
