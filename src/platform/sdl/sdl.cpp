#include "platform/sdl/sdl.h"

#include <cstdio>

namespace orbex::sdl {

bool install(bool) {
    std::fprintf(stderr, "orbex: the SDL2 backend is not built yet; run with ORBEX_VIDEO=headless\n");
    return false;
}

void shutdown() {}

} // namespace orbex::sdl
