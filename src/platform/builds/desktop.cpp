// The desktop program with SDL2: full screen, a window, or headless.
#include "platform/builds/builds.h"
#include "platform/headless/headless.h"
#include "platform/sdl/sdl.h"

namespace orbex {

namespace {

constexpr Backend BACKENDS[] = {sdl::FULLSCREEN, sdl::WINDOW, headless::BACKEND};

} // namespace

std::span<const Backend> builtBackends() { return BACKENDS; }

const char *installedDataDir() { return ORBEX_DATADIR; }

} // namespace orbex
