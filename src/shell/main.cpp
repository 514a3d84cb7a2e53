// The orbex binary: enters the magazine's folder, decides where the viewer's
// own files go, picks a backend and hands the command line to WinMain as the
// original's C runtime did.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/ownfiles.h"
#include "platform/install.h"
#include "platform/places.h"
#include "shell/magazine.h"
#include "shell/startup.h"
#ifdef ORBEX_WEB
#include "platform/web/web.h"
#else
#include "platform/headless/headless.h"
#endif
#ifdef ORBEX_HAVE_SDL
#include "platform/sdl/sdl.h"
#endif

// The browser's file system holds no installed magazine.
#ifndef ORBEX_DATADIR
#define ORBEX_DATADIR ""
#endif

namespace {

#if !defined(ORBEX_WEB) && !defined(ORBEX_HAVE_SDL)
bool noSdl(orbex::Platform &, orbex::BackendParts *) {
    std::fprintf(stderr, "orbex: built without SDL2; run with ORBEX_VIDEO=headless\n");
    return false;
}
void noShutdown() {}
#endif

// The backends this build has, by ORBEX_VIDEO's value; the first is the default.
constexpr orbex::Backend BACKENDS[] = {
#ifdef ORBEX_WEB
    orbex::web::BACKEND,
#elif defined(ORBEX_HAVE_SDL)
    orbex::sdl::FULLSCREEN,
    orbex::sdl::WINDOW,
    orbex::headless::BACKEND,
#else
    {"fullscreen", noSdl, noShutdown},
    {"window", noSdl, noShutdown},
    orbex::headless::BACKEND,
#endif
};

// The backend ORBEX_VIDEO names, or nullptr after a line on standard error.
const orbex::Backend *chosenBackend() {
    const char *video = std::getenv("ORBEX_VIDEO");
    if (video == nullptr)
        return &BACKENDS[0];
    std::string names;
    for (const orbex::Backend &backend : BACKENDS) {
        if (std::strcmp(video, backend.name) == 0)
            return &backend;
        names += names.empty() ? "" : &backend == &BACKENDS[std::size(BACKENDS) - 1] ? " or " : ", ";
        names += backend.name;
    }
    std::fprintf(stderr, "orbex: ORBEX_VIDEO must be %s, not \"%s\"\n", names.c_str(), video);
    return nullptr;
}

} // namespace

int main(int argc, char **argv) {
    // The user's paths are the user's: taken from where the program started.
    orbex::rememberStartFolder();
    bool bInstalled = false;
    if (!orbex::enterMagazine(ORBEX_DATADIR, &bInstalled))
        return 1;
    orbex::chooseOwnFilesFolder(bInstalled);
    const orbex::Backend *backend = chosenBackend();
    if (backend == nullptr || !orbex::installBackend(*backend, true))
        return 1;
    // The arguments behind the program's name, joined by blanks.
    std::string cmdLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            cmdLine += ' ';
        cmdLine += argv[i];
    }
    int result = orbex::WinMain(nullptr, nullptr, cmdLine.data(), orbex::SW_SHOWDEFAULT);
    orbex::shutdownBackend();
#ifdef ORBEX_WEB
    // Once the program has waited for the browser, a return from main reaches
    // nobody; exit ends it and tells the page.
    std::exit(result);
#endif
    return result;
}
