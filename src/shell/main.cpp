// The orbex binary: enters the magazine's folder, decides where the viewer's
// own files go, picks a backend and hands the command line to WinMain as the
// original's C runtime did.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/ownfiles.h"
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

int main(int argc, char **argv) {
    // The user's paths are the user's: taken from where the program started.
    orbex::rememberStartFolder();
    bool bInstalled = false;
    if (!orbex::enterMagazine(ORBEX_DATADIR, &bInstalled))
        return 1;
    orbex::chooseOwnFilesFolder(bInstalled);
#ifdef ORBEX_WEB
    // The page is the one screen there is.
    if (!orbex::web::install())
        return 1;
#else
    const char *video = std::getenv("ORBEX_VIDEO");
    std::string mode = video != nullptr ? video : "fullscreen";
    if (mode == "headless") {
        if (!orbex::headless::install(true))
            return 1;
    } else if (mode == "fullscreen" || mode == "window") {
#ifdef ORBEX_HAVE_SDL
        if (!orbex::sdl::install(mode == "fullscreen"))
            return 1;
#else
        std::fprintf(stderr, "orbex: built without SDL2; run with ORBEX_VIDEO=headless\n");
        return 1;
#endif
    } else {
        std::fprintf(stderr, "orbex: ORBEX_VIDEO must be fullscreen, window or headless, not \"%s\"\n", mode.c_str());
        return 1;
    }
#endif
    // The arguments behind the program's name, joined by blanks.
    std::string cmdLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            cmdLine += ' ';
        cmdLine += argv[i];
    }
    int result = orbex::WinMain(nullptr, nullptr, cmdLine.data(), orbex::SW_SHOWDEFAULT);
#ifdef ORBEX_HAVE_SDL
    orbex::sdl::shutdown();
#endif
#ifdef ORBEX_WEB
    // Once the program has waited for the browser, a return from main reaches
    // nobody; exit ends it and tells the page.
    std::exit(result);
#endif
    return result;
}
