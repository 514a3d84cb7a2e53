// The sound library as the viewer sees it: one output device, tracker modules
// loaded from files and played looping, an output volume of 0 to 100 where 0
// is silence, and an error code for the last failure. The operations keep the
// names of the library the viewer was written for; an implementation of
// SoundLibrary does the work.
#pragma once

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
constexpr int BASS_ERROR_DEVICE = 23;
constexpr int BASS_ERROR_FILEFORM = 41;
constexpr int BASS_ERROR_UNKNOWN = -1;

constexpr DWORD BASS_MUSIC_LOOP = 4;

// What a sound library offers; the headless and SDL2 backends each install one.
class SoundLibrary {
  public:
    virtual ~SoundLibrary() = default;
    virtual BOOL init(int device, DWORD freq, DWORD flags, HWND win) = 0;
    virtual BOOL start() = 0;
    virtual HMUSIC musicLoad(BOOL mem, const void *file, DWORD offset, DWORD length, DWORD flags) = 0;
    virtual BOOL musicPlay(HMUSIC handle) = 0;
    virtual int errorGetCode() = 0;
    virtual int getVolume() = 0;
    virtual BOOL setVolume(int volume) = 0;
    virtual BOOL stop() = 0;
    virtual BOOL musicFree(HMUSIC handle) = 0;
};

// Installed by the backend at start; tests install their own.
void setSoundLibrary(SoundLibrary *library);
SoundLibrary *soundLibrary();

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

} // namespace orbex
