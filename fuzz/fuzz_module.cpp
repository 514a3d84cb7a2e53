// libFuzzer target for the sound library's module loading and mixing: any
// bytes either fail to load (handle 0) or load and play without a fault.
#include <cstddef>
#include <cstdint>

#include "platform/bass.h"
#include "platform/sound/sound.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static orbex::sound::ModulePlayer player(nullptr);
    static orbex::SoundLibrary library(&player);
    static bool initialised = library.init(-1, 11025, 0, nullptr) != 0 && library.start() != 0;
    if (!initialised || size == 0)
        return 0;
    orbex::HMUSIC handle =
        library.musicLoad(orbex::TRUE, data, 0, static_cast<orbex::DWORD>(size), orbex::BASS_MUSIC_LOOP);
    if (handle != 0) {
        library.musicPlay(handle);
        player.advance(100);
        library.musicFree(handle);
    }
    return 0;
}
