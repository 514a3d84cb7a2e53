// What only tests use: forced failures, call logs, forced answers, the
// display modes on offer, and the one reset of the whole platform. The
// viewer never includes this header; benchmarks and fuzz targets may. Tests
// also drive the platform's inner calls through it (platform/internal.h:
// input messages, lost surfaces, the shown frame, the virtual clock).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ddraw.h"
#include "platform/internal.h"

namespace orbex {

// Shuts the installed backend down and puts every unit of the platform back
// to program start: window system, display layer, sound library, clock,
// scripted runs, places.
void resetPlatform();

// ---- Window system

// The next CreateWindowExA finds no window to make (the start-up without one).
void failWindowCreation();
// Script commands, as ORBEX_SCRIPT holds them, for a backend that a script
// plays; errors name the line.
bool loadScript(const std::string &text, std::string &error);

// ---- Display layer

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
// Calls seen by the display, one line each ("SetDisplayMode 640 480 24",
// "Restore back", "Release primary"); Lock and Flip are not listed.
const std::vector<std::string> &displayCalls();
// Frames flipped so far.
std::uint64_t flipCount();
// Depths SetDisplayMode accepts (default 16 and 24).
void offerDepths(const std::vector<int> &depths);
// The desktop's depth, kept when the viewer sets no mode (default 16).
void setDesktopDepth(int depth);
// Channel masks of the 16-bit modes (default 5-6-5).
void setMasks16(DWORD red, DWORD green, DWORD blue);
// Extra bytes at the end of every surface row.
void setPitchPadding(int bytes);

// ---- Sound library

enum class SoundOp { Init, Start, MusicLoad, MusicPlay, GetVolume, SetVolume, Stop, MusicFree };

// The next `times` calls of op fail, leaving errorCode for BASS_ErrorGetCode;
// for GetVolume the answer is errorCode itself.
void failSound(SoundOp op, int errorCode, int times = 1);
// Calls seen by the sound library, one line each ("BASS_Init -1 44100").
const std::vector<std::string> &soundCalls();
// The output volume the library reports from now on, any value (tests of
// the fade).
void setSoundVolume(int volume);
// Plays ms milliseconds of the installed engine's music, as a flip of a
// scripted run does.
void advanceSound(DWORD ms);

} // namespace orbex
