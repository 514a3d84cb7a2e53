// The orbex binary: opens the magazine (the folder or zip file named on the
// command line, ORBEX_MAGAZINE's, the working folder or the installed demo),
// decides where the viewer's own files go, picks a backend and hands the rest
// of the command line to WinMain as the original's C runtime did.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/ownfiles.h"
#include "common/codepage.h"
#include "platform/install.h"
#include "platform/places.h"
#include "platform/windows.h"
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

// A start that cannot go on: one line on standard error, and, where nobody
// reads that (a start from the desktop's menu or a file manager's "Open
// with"), the same in a message box of the chosen backend, if it can show one.
int refuseStart(const std::string &problem, const orbex::Backend &backend) {
    std::fprintf(stderr, "orbex: %s\n", problem.c_str());
#ifdef ORBEX_HAVE_SDL
    if (backend.install != orbex::headless::BACKEND.install && ::isatty(STDERR_FILENO) == 0 &&
        orbex::installBackend(backend, false)) {
        orbex::MessageBoxA(nullptr, orbex::utf8ToCp1252(problem).c_str(), "ORBEX 5", orbex::MB_OK);
        orbex::shutdownBackend();
    }
#else
    (void)backend;
#endif
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    // The user's paths are the user's: taken from where the program started.
    orbex::rememberStartFolder();
    const orbex::Backend *backend = chosenBackend();
    if (backend == nullptr)
        return 1;
    std::vector<std::string> arguments(argv + 1, argv + argc);
#ifdef ORBEX_WEB
    // The page's ?args= are only the letters; its magazine is in place.
    orbex::CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i)
        line.letters += (i > 0 ? " " : "") + arguments[i];
#else
    orbex::CommandLine line = orbex::splitCommandLine(arguments);
#endif
    if (line.magazines.size() > 1)
        return refuseStart("the command line names " + std::to_string(line.magazines.size()) + " magazines (" +
                               line.magazines[0] + ", " + line.magazines[1] +
                               (line.magazines.size() > 2 ? ", ..." : "") + "); name one",
                           *backend);
    orbex::OpenedMagazine opened;
    std::string problem;
    if (!orbex::enterMagazine(line.magazines.empty() ? std::string() : line.magazines[0], ORBEX_DATADIR, &opened,
                              &problem))
        return refuseStart(problem, *backend);
    if (opened.zip.empty())
        orbex::chooseOwnFilesFolder(opened.installed);
    else
        orbex::chooseStateFolder(opened.zip);
    if (!orbex::installBackend(*backend, true))
        return 1;
    int result = orbex::WinMain(nullptr, nullptr, line.letters.data(), orbex::SW_SHOWDEFAULT);
    orbex::shutdownBackend();
#ifdef ORBEX_WEB
    // Once the program has waited for the browser, a return from main reaches
    // nobody; exit ends it and tells the page.
    std::exit(result);
#endif
    return result;
}
