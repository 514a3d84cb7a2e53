// The headless backend: no window and no sound device. Frames go to memory,
// input comes from a script, message boxes go to standard error, and tests
// can choose what the display offers and make operations fail.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/bass.h"
#include "platform/ddraw.h"

namespace orbex::headless {

// Installs the headless window system, display and sound library. Reads
// ORBEX_SCRIPT and ORBEX_CLOCK from the environment when fromEnvironment is
// set; false, after a line on standard error, when either cannot be used.
bool install(bool fromEnvironment);
// Puts every headless setting and record back to its start (tests).
void reset();
// Puts every subsystem of the viewer and the window system back to program
// start, with the headless backend installed (tests and benchmarks).
void resetViewer();

// The next CreateWindowExA finds no window to make (the start-up without a window).
void failWindowCreation();

// Script commands, as ORBEX_SCRIPT holds them; errors name the line.
bool loadScriptText(const std::string &text, std::string *error);

// Display operations a test can make fail.
enum class DisplayOp {
    Create,
    SetCooperativeLevel,
    GetCaps,
    SetDisplayMode,
    CreatePrimary,
    GetAttachedSurface,
    CreateOffscreen,
    GetPixelFormat,
    LockBack,
    FlipPrimary,
    RestorePrimary,
    RestoreBack,
    RestoreOffscreen,
};

// The next `times` calls of op answer code instead of doing their work.
void failDisplay(DisplayOp op, HRESULT code, int times = 1);
// Depths the display accepts in SetDisplayMode (default 16 and 24).
void offerDepths(const std::vector<int> &depths);
// The desktop's depth, kept when the viewer sets no mode (default 16).
void setDesktopDepth(int depth);
// Channel masks of the 16-bit modes (default 5-6-5).
void setMasks16(DWORD red, DWORD green, DWORD blue);
// Extra bytes at the end of every surface row.
void setPitchPadding(int bytes);
// Marks primary, back buffer and offscreen surface lost until restored.
void loseSurfaces();

// Calls seen by the display, one line each ("SetDisplayMode 640 480 24",
// "Restore back", "Release primary"); Lock and Flip are not listed.
const std::vector<std::string> &displayCalls();
// Frames flipped so far.
std::uint64_t flipCount();

// The last flipped frame.
struct Frame {
    std::vector<std::uint8_t> pixels;
    int depth = 0;
    int pitch = 0;
    DWORD redMask = 0, greenMask = 0, blueMask = 0;
};
const Frame &lastFrame();
// The last flipped frame as 640x480 RGB bytes.
std::vector<std::uint8_t> lastFrameRgb();
bool writeShot(const std::string &path);

// Every message box text shown so far (Windows-1252 as given).
const std::vector<std::string> &messageBoxes();

// Sound library operations a test can make fail.
enum class SoundOp { Init, Start, MusicLoad, MusicPlay, GetVolume, SetVolume, Stop, MusicFree };
// The next `times` calls of op fail, leaving errorCode for BASS_ErrorGetCode;
// for GetVolume the answer is errorCode itself.
void failSound(SoundOp op, int errorCode, int times = 1);
// Calls seen by the sound library, one line each ("BASS_Init -1 44100").
const std::vector<std::string> &soundCalls();
// Sets the output volume the sound library reports (tests of the fade).
void setSoundVolume(int volume);

} // namespace orbex::headless
