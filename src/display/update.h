// Presenting one frame: lock the back buffer, draw, unlock, flip.
#pragma once

namespace orbex {

// Called by the message loop when no message waits, and once by initEngine.
void updateFrame();

} // namespace orbex
