// The browser program: the page is its only backend, and its file system
// holds no installed magazine.
#include "platform/builds/builds.h"
#include "platform/web/web.h"

namespace orbex {

namespace {

constexpr Backend BACKENDS[] = {web::BACKEND};

} // namespace

std::span<const Backend> builtBackends() { return BACKENDS; }

const char *installedDataDir() { return ""; }

} // namespace orbex
