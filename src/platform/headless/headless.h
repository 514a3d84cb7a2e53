// The headless backend: no window and no sound device. A script plays all of
// its input (none is an empty one, which closes the window at once), frames
// stay in memory, message boxes go to standard error, and the music moves on
// with the virtual clock.
#pragma once

#include <string>
#include <vector>

#include "platform/backend.h"

namespace orbex::headless {

// Opens the backend (Backend::install): the music engine takes
// ORBEX_AUDIO_CAPTURE from the environment.
bool install(Platform &platform, BackendParts *parts);
// Closes it; its records go.
void shutdown();

// As main lists it: ORBEX_VIDEO=headless. Tests and tools install it too.
inline constexpr Backend BACKEND{"headless", install, shutdown};

// Every message box text shown since install (Windows-1252 as given).
const std::vector<std::string> &messageBoxes();
// Whether the system pointer has been hidden over the window.
bool systemCursorHidden();
// Called by orbex-tool's render: the last flipped frame as RGB bytes (black
// before the first).
std::vector<std::uint8_t> lastFrameRgb();

} // namespace orbex::headless
