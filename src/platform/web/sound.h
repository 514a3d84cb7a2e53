// The browser backend's sound: the sound library's rules over the page's
// chiptune3 player.
#pragma once

#include "platform/bass.h"

namespace orbex::web {

// Called by install.
SoundLibrary *installSound();

} // namespace orbex::web
