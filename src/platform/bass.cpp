#include "platform/bass.h"

namespace orbex {

namespace {
SoundLibrary *pSoundLibrary = nullptr;
}

void setSoundLibrary(SoundLibrary *library) { pSoundLibrary = library; }

SoundLibrary *soundLibrary() { return pSoundLibrary; }

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win) { return pSoundLibrary->init(device, freq, flags, win); }

BOOL BASS_Start() { return pSoundLibrary->start(); }

HMUSIC BASS_MusicLoad(BOOL mem, const void *file, DWORD offset, DWORD length, DWORD flags) {
    return pSoundLibrary->musicLoad(mem, file, offset, length, flags);
}

BOOL BASS_MusicPlay(HMUSIC handle) { return pSoundLibrary->musicPlay(handle); }

int BASS_ErrorGetCode() { return pSoundLibrary->errorGetCode(); }

int BASS_GetVolume() { return pSoundLibrary->getVolume(); }

BOOL BASS_SetVolume(int volume) { return pSoundLibrary->setVolume(volume); }

BOOL BASS_Stop() { return pSoundLibrary->stop(); }

BOOL BASS_MusicFree(HMUSIC handle) { return pSoundLibrary->musicFree(handle); }

} // namespace orbex
