// The desktop program built without SDL2: full screen and a window are
// named, and refused with the reason; headless runs.
#include <cstdio>

#include "platform/builds/builds.h"
#include "platform/headless/headless.h"

namespace orbex {

namespace {

bool noSdl(Platform &, BackendParts *) {
    std::fprintf(stderr, "orbex: built without SDL2; run with ORBEX_VIDEO=headless\n");
    return false;
}

void noShutdown() {}

constexpr Backend BACKENDS[] = {{"fullscreen", noSdl, noShutdown}, {"window", noSdl, noShutdown}, headless::BACKEND};

} // namespace

std::span<const Backend> builtBackends() { return BACKENDS; }

const char *installedDataDir() { return ORBEX_DATADIR; }

} // namespace orbex
