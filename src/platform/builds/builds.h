// What a program of the viewer was built with: its backends, by ORBEX_VIDEO's
// value (the first is the default), and where its installed demo magazine
// lives. Each program links one of this folder's sources: desktop.cpp (SDL
// and headless), headless_only.cpp (built without SDL2) or browser.cpp; so
// main picks from a table and knows of no build.
#pragma once

#include <span>

#include "platform/backend.h"

namespace orbex {

std::span<const Backend> builtBackends();
// The folder that holds magazine/, the installed demo; empty where there is
// none (the browser's file system).
const char *installedDataDir();

} // namespace orbex
