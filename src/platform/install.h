// Putting a backend under the platform, and taking it away again. Called by
// main, which picks the backend from its table, and by the tests and tools,
// which install the headless one.
#pragma once

#include "platform/backend.h"

namespace orbex {

// Installs backend: its install gets the platform's calls, the window
// system, the display layer and the sound library then go through what it
// hands back, and a backend that a script may play reads ORBEX_SCRIPT and
// ORBEX_CLOCK when fromEnvironment is set. False, after a line on standard
// error, when the backend cannot run or the automation cannot be used.
bool installBackend(const Backend &backend, bool fromEnvironment);
// Stops the installed backend's music and closes the backend; nothing when
// none is installed.
void shutdownBackend();

} // namespace orbex
