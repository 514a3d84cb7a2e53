// The sound library as the viewer sees it: one output device, tracker modules
// loaded from files and played looping, an output volume of 0 to 100 where 0
// is silence, and an error code for the last failure. The operations keep the
// names of the library the viewer was written for. Its rules (states,
// handles, volume, error codes) are kept here once; a backend supplies only
// the MusicEngine that decodes and plays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/windows.h"

namespace orbex {

using HMUSIC = DWORD;

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

constexpr int FULL_VOLUME = 100;
// Bigger module files are refused before anything is read.
constexpr std::uint64_t MAX_MODULE_BYTES = 64u << 20;
// Modules loaded at once; the viewer keeps one.
constexpr std::size_t MAX_MODULES = 64;
constexpr DWORD MIN_RATE = 4000;
constexpr DWORD MAX_RATE = 192000;

// What a backend's sound supplies: modules decoded and played on an output.
// Called on the viewer's thread only.
class MusicEngine {
  public:
    virtual ~MusicEngine() = default;
    // Opens the output for stereo at rate frames a second, again at every
    // initialisation; false when no output can be opened.
    virtual bool open(DWORD rate) = 0;
    virtual void close() = 0;
    // True when an opened output has gone away (unplugged, server gone).
    virtual bool lost() = 0;
    // Takes a module's bytes under a new handle; false when they are no
    // module it can play.
    virtual bool load(HMUSIC handle, std::vector<std::uint8_t> bytes, bool loop) = 0;
    // The module plays on from where it is; a fresh one from its start.
    virtual void play(HMUSIC handle) = 0;
    virtual void free(HMUSIC handle) = 0;
    // Started, every playing module sounds; stopped, the output plays silence
    // and every module waits where it is.
    virtual void setRunning(bool running) = 0;
    // The output volume, 0 to 100.
    virtual void setVolume(int volume) = 0;
    // Back to never opened: output closed, modules freed.
    virtual void reset() = 0;
};

class SoundLibrary {
  public:
    explicit SoundLibrary(MusicEngine *engine) : pEngine(engine) {}
    ~SoundLibrary() { reset(); }
    SoundLibrary(const SoundLibrary &) = delete;
    SoundLibrary &operator=(const SoundLibrary &) = delete;

    BOOL init(int device, DWORD freq, DWORD flags, HWND win);
    BOOL start();
    HMUSIC musicLoad(BOOL mem, const void *file, DWORD offset, DWORD length, DWORD flags);
    BOOL musicPlay(HMUSIC handle);
    int errorGetCode() const { return nLastError; }
    int getVolume();
    BOOL setVolume(int volume);
    BOOL stop();
    BOOL musicFree(HMUSIC handle);

    // Tests: the volume reported from now on, once initialised.
    void forceVolume(int volume);
    // Back to a library never initialised: output closed, modules freed,
    // handles counted from 1 again.
    void reset();

  private:
    BOOL fail(int code);

    MusicEngine *pEngine;
    bool bInitialised = false;
    bool bStarted = false;
    bool bOutputOpen = false;
    DWORD dwRate = 0;
    int nVolume = -1;
    int nLastError = BASS_OK;
    HMUSIC hNext = 1;
    std::set<HMUSIC> handles;
};

// Installed by the backend at start; tests install their own.
void setSoundLibrary(SoundLibrary *library);

// Called by the music playback of the viewer.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win);
BOOL BASS_Start();
HMUSIC BASS_MusicLoad(BOOL mem, const void *file, DWORD offset, DWORD length, DWORD flags);
BOOL BASS_MusicPlay(HMUSIC handle);
int BASS_ErrorGetCode();
int BASS_GetVolume();
BOOL BASS_SetVolume(int volume);
BOOL BASS_Stop();
BOOL BASS_MusicFree(HMUSIC handle);

// Sound library operations a test can make fail.
enum class SoundOp { Init, Start, MusicLoad, MusicPlay, GetVolume, SetVolume, Stop, MusicFree };
// The next `times` calls of op fail, leaving errorCode for BASS_ErrorGetCode;
// for GetVolume the answer is errorCode itself.
void failSound(SoundOp op, int errorCode, int times = 1);
// Calls seen by the sound library, one line each ("BASS_Init -1 44100").
const std::vector<std::string> &soundCalls();
// Sets the output volume the installed library reports (tests of the fade).
void setSoundVolume(int volume);
// Forgets failures and calls, and resets the installed library.
void resetSoundLayer();

} // namespace orbex
