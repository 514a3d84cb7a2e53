#include "platform/headless/sound.h"

#include <cstdlib>

#include "platform/headless/headless.h"
#include "platform/sound/sound.h"

namespace orbex::headless {

namespace {
sound::ModulePlayer player(nullptr);
SoundLibrary library(&player);
} // namespace

SoundLibrary *installSound() {
    player.setCapturePath(std::getenv("ORBEX_AUDIO_CAPTURE"));
    return &library;
}

void advanceSound(DWORD ms) { player.advance(ms); }

} // namespace orbex::headless
