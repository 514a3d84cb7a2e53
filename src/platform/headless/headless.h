// The headless backend: no window and no sound device. Frames go to memory,
// input comes from a script, message boxes go to standard error, the music
// moves on with the clock, and tests can choose what the display offers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/windows.h"

namespace orbex::headless {

// Installs the headless window system, display and sound library. Reads
// ORBEX_SCRIPT and ORBEX_CLOCK from the environment when fromEnvironment is
// set; false, after a line on standard error, when either cannot be used.
bool install(bool fromEnvironment);
// Puts the backend, and the platform layers it installed, back to their
// start: script, settings, records, window system, display, sound, clock.
void reset();

// The next CreateWindowExA finds no window to make (the start-up without a window).
void failWindowCreation();

// Script commands, as ORBEX_SCRIPT holds them; errors name the line.
bool loadScriptText(const std::string &text, std::string *error);

// Depths the display accepts in SetDisplayMode (default 16 and 24).
void offerDepths(const std::vector<int> &depths);
// The desktop's depth, kept when the viewer sets no mode (default 16).
void setDesktopDepth(int depth);
// Channel masks of the 16-bit modes (default 5-6-5).
void setMasks16(DWORD red, DWORD green, DWORD blue);
// Extra bytes at the end of every surface row.
void setPitchPadding(int bytes);

// The last flipped frame, kept after the display objects are gone.
struct Frame {
    std::vector<std::uint8_t> pixels;
    int width = 0;
    int height = 0;
    int depth = 0;
    int pitch = 0;
    DWORD redMask = 0, greenMask = 0, blueMask = 0;
};
const Frame &lastFrame();
// The last flipped frame as RGB bytes (640x480 black before any flip).
std::vector<std::uint8_t> lastFrameRgb();
bool writeShot(const std::string &path);

// Every message box text shown so far (Windows-1252 as given).
const std::vector<std::string> &messageBoxes();

// Renders ms milliseconds of music, as if the virtual clock moved that far.
void advanceSound(DWORD ms);

} // namespace orbex::headless
