// The orbex binary: opens the magazine (the folder or zip file named on the
// command line, ORBEX_MAGAZINE's, the working folder or the installed demo),
// decides where the viewer's own files go, picks a backend and hands the rest
// of the command line to WinMain as the original's C runtime did.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "base/ownfiles.h"
#include "common/codepage.h"
#include "platform/builds/builds.h"
#include "platform/install.h"
#include "platform/places.h"
#include "platform/windows.h"
#include "shell/magazine.h"
#include "shell/startup.h"

namespace {

// The backend ORBEX_VIDEO names among the build's, or nullptr after a line
// on standard error.
const orbex::Backend *chosenBackend() {
    const std::span<const orbex::Backend> backends = orbex::builtBackends();
    const char *video = std::getenv("ORBEX_VIDEO");
    if (video == nullptr)
        return &backends.front();
    std::string names;
    for (const orbex::Backend &backend : backends) {
        if (std::strcmp(video, backend.name) == 0)
            return &backend;
        names += names.empty() ? "" : &backend == &backends.back() ? " or " : ", ";
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
    if (backend.showsBoxes && ::isatty(STDERR_FILENO) == 0 && orbex::installBackend(backend, false)) {
        orbex::MessageBoxA(nullptr, orbex::utf8ToCp1252(problem).c_str(), "ORBEX 5", orbex::MB_OK);
        orbex::shutdownBackend();
    }
    return 1;
}

// The letters for WinMain and the magazines named; a backend whose command
// line is only letters names none.
orbex::CommandLine commandLine(const std::vector<std::string> &arguments, const orbex::Backend &backend) {
    if (!backend.lettersOnly)
        return orbex::splitCommandLine(arguments);
    orbex::CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i)
        line.letters += (i > 0 ? " " : "") + arguments[i];
    return line;
}

} // namespace

int main(int argc, char **argv) {
    // The user's paths are the user's: taken from where the program started.
    orbex::rememberStartFolder();
    const orbex::Backend *backend = chosenBackend();
    if (backend == nullptr)
        return 1;
    orbex::CommandLine line = commandLine(std::vector<std::string>(argv + 1, argv + argc), *backend);
    if (line.magazines.size() > 1)
        return refuseStart("the command line names " + std::to_string(line.magazines.size()) + " magazines (" +
                               line.magazines[0] + ", " + line.magazines[1] +
                               (line.magazines.size() > 2 ? ", ..." : "") + "); name one",
                           *backend);
    orbex::OpenedMagazine opened;
    std::string problem;
    if (!orbex::enterMagazine(line.magazines.empty() ? std::string() : line.magazines[0], orbex::installedDataDir(),
                              &opened, problem))
        return refuseStart(problem, *backend);
    if (opened.zip.empty())
        orbex::chooseOwnFilesFolder(opened.installed);
    else
        orbex::chooseStateFolder(opened.zip);
    if (!orbex::installBackend(*backend, true))
        return 1;
    int result = orbex::WinMain(nullptr, nullptr, line.letters.data(), orbex::SW_SHOWDEFAULT);
    orbex::shutdownBackend();
    // In the browser, once the program has waited for the page, a return
    // from main reaches nobody; exit ends the program everywhere, and tells
    // the page.
    std::exit(result);
}
