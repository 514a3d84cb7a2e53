// The audio device of the SDL2 backend. It initialises only SDL's audio
// part, so it works beside any video set-up.
#include <cstdio>

#include "platform/sdl/internal.h"

namespace orbex::sdl {

namespace {

void SDLCALL pullAudio(void *player, Uint8 *stream, int len) {
    static_cast<sound::ModulePlayer *>(player)->render(reinterpret_cast<std::int16_t *>(stream),
                                                       static_cast<std::size_t>(len) / 4);
}

// About 23 ms of sound per pull at any rate: short enough that the fade,
// one volume step per frame, sounds smooth.
Uint16 pullFrames(DWORD rate) {
    Uint16 frames = 256;
    // The largest power of two not above rate / 43 (23 ms), at least 256.
    while (frames < 4096 && frames * 2 * 43u <= rate)
        frames = static_cast<Uint16>(frames * 2);
    return frames;
}

} // namespace

bool SdlOutput::open(DWORD rate) {
    if (SDL_WasInit(SDL_INIT_AUDIO) == 0 && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "orbex: no sound: %s\n", SDL_GetError());
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(rate);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = pullFrames(rate);
    want.callback = pullAudio;
    want.userdata = player;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the device takes, so the
    // mixer always renders at the rate the viewer asked for.
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        std::fprintf(stderr, "orbex: no sound: %s\n", SDL_GetError());
        return false;
    }
    SDL_PauseAudioDevice(device, 0);
    return true;
}

void SdlOutput::close() {
    if (device != 0)
        SDL_CloseAudioDevice(device);
    device = 0;
}

bool SdlOutput::lost() { return device != 0 && SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_STOPPED; }

} // namespace orbex::sdl
