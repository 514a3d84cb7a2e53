#include "music/music.h"

#include "base/config.h"
#include "base/settings.h"
#include "common/start.h"

namespace orbex {

MusicState musicState;

namespace {

DWORD outputRate() { return sampleRateOf(nSampleRateCode); }

void showBox(const char *text) { MessageBoxA(hViewerWindow, text, "ORBEX 5", MB_OK); }

} // namespace

void startMusic(HWND hWnd) {
    if (bMusicOn != 1)
        return;
    // Bound through the imports anyway; the result is not needed.
    LoadLibraryA("BASS.DLL");
    if (!readConfigByte(1))
        createConfigFile();
    if (auto code = readConfigByte(1))
        nSampleRateCode = *code;
    if (BASS_Init(-1, outputRate(), 0, hWnd) == FALSE)
        showBox("Initialisierung des BASS fehlgeschlagen!");
    hMusic = BASS_MusicLoad(FALSE, START_MODULE_FILE, 0, 0, BASS_MUSIC_LOOP);
    if (BASS_Start() == FALSE)
        showBox("BASS START FEHLGESCHLAGEN");
    if (BASS_MusicPlay(hMusic) == FALSE) {
        int code = BASS_ErrorGetCode();
        if (code == BASS_ERROR_START)
            showBox("ERRORDESC: BASS_ERROR_START");
        if (code == BASS_ERROR_HANDLE)
            showBox("ERRORDESC: BASS_ERROR_HANDLE");
        if (code == BASS_ERROR_BUFLOST)
            showBox("ERRORDESC: BASS_ERROR_BUFLOST");
    }
}

// Runs with the music switched off too: a music link always plays.
void switchMusic(const char *name) {
    BASS_Stop();
    BASS_MusicFree(hMusic);
    BASS_Init(-1, outputRate(), 0, hViewerWindow);
    hMusic = BASS_MusicLoad(FALSE, name, 0, 0, BASS_MUSIC_LOOP);
    BASS_Start();
    if (BASS_MusicPlay(hMusic) == FALSE) {
        int code = BASS_ErrorGetCode();
        if (code == BASS_ERROR_START)
            showBox("BASS_ERROR_START");
        if (code == BASS_ERROR_HANDLE)
            showBox("BASS_ERROR_HANDLE");
        if (code == BASS_ERROR_BUFLOST)
            showBox("BASS_ERROR_BUFLOST");
    }
}

// One unit per frame; a negative answer (no library) is kept, so the fade
// never ends by itself then.
std::int32_t fadeMusicStep() {
    std::int32_t volume = BASS_GetVolume();
    if (volume > 0) {
        --volume;
        BASS_SetVolume(volume);
    }
    return volume;
}

void stopMusic() {
    if (bMusicOn != 1)
        return;
    if (BASS_Stop() == FALSE)
        showBox("BASS STOP FEHLGESCHLAGEN - warscheinlich lief es nicht...");
    BASS_MusicFree(hMusic);
}

} // namespace orbex
