// The sound library as the viewer sees it: one output device, tracker modules
// loaded from files and played looping, an output volume of 0 to 100 where 0
// is silence, and an error code for the last failure. The operations keep the
// names of the library the viewer was written for. Its rules (states,
// handles, volume, error codes) are kept here once; the installed backend
// supplies only the MusicEngine that decodes and plays (platform/backend.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>

#include "common/readlimits.h"
#include "platform/backend.h"
#include "platform/windows.h"

namespace orbex {

constexpr int BASS_OK = 0;
constexpr int BASS_ERROR_MEM = 1;
constexpr int BASS_ERROR_FILEOPEN = 2;
constexpr int BASS_ERROR_DRIVER = 3;
constexpr int BASS_ERROR_BUFLOST = 4;
constexpr int BASS_ERROR_HANDLE = 5;
constexpr int BASS_ERROR_FORMAT = 6;
constexpr int BASS_ERROR_INIT = 8;
constexpr int BASS_ERROR_START = 9;
constexpr int BASS_ERROR_ILLPARAM = 20;
constexpr int BASS_ERROR_DEVICE = 23;
constexpr int BASS_ERROR_FILEFORM = 41;
constexpr int BASS_ERROR_UNKNOWN = -1;

constexpr DWORD BASS_MUSIC_LOOP = 4;

// Bigger module files are refused before anything is read.
constexpr std::uint64_t MAX_MODULE_BYTES = ANY_FILE_LIMIT;
// Modules loaded at once; the viewer keeps one.
constexpr std::size_t MAX_MODULES = 64;
constexpr DWORD MIN_RATE = 4000;
constexpr DWORD MAX_RATE = 192000;

// The library's rules over a music engine: the platform keeps one over the
// installed backend's engine; tests and tools make their own.
class SoundLibrary {
  public:
    explicit SoundLibrary(MusicEngine *engine) : engine(engine) {}

    BOOL init(int device, DWORD freq, DWORD flags, HWND win);
    BOOL start();
    HMUSIC musicLoad(BOOL mem, const void *file, DWORD offset, DWORD length, DWORD flags);
    BOOL musicPlay(HMUSIC handle);
    int errorGetCode() const { return lastError; }
    int getVolume();
    BOOL setVolume(int volume);
    BOOL stop();
    BOOL musicFree(HMUSIC handle);
    // Back to a library never initialised: output closed, modules freed,
    // handles counted from 1 again.
    void reset();

  private:
    BOOL fail(int code);
    // Tests: a volume no caller could set.
    friend void setSoundVolume(int volume);

    MusicEngine *engine;
    bool initialised = false;
    bool started = false;
    bool outputOpen = false;
    DWORD rate = 0;
    int volume = -1;
    int lastError = BASS_OK;
    HMUSIC nextHandle = 1;
    std::set<HMUSIC> handles;
};

// Called by the music playback: startMusic, switchMusic, fadeMusicStep, stopMusic.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win);
BOOL BASS_Start();
HMUSIC BASS_MusicLoad(BOOL mem, const void *file, DWORD offset, DWORD length, DWORD flags);
BOOL BASS_MusicPlay(HMUSIC handle);
int BASS_ErrorGetCode();
int BASS_GetVolume();
BOOL BASS_SetVolume(int volume);
BOOL BASS_Stop();
BOOL BASS_MusicFree(HMUSIC handle);

} // namespace orbex
