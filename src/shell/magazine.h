// Which magazine a start shows: the folder or zip file named on the command
// line, else the one ORBEX_MAGAZINE names, the working folder when it holds
// a magazine (as the original, which read the files beside it), or else the
// demo magazine installed with the program.
#pragma once

#include <string>
#include <vector>

namespace orbex {

// The command line as the port reads it. The original scanned all of it
// for its letters, so a path on it would switch things; an argument that
// names a magazine is taken out first.
struct CommandLine {
    // The arguments that name a magazine, in their order; one is meant.
    std::vector<std::string> magazines;
    // The others joined by blanks: lpCmdLine, scanned for its letters.
    std::string letters;
};

// Used by splitCommandLine and orbex-tool: whether path ends in ".zip", in
// any case, the one sign that a file is meant as a zip magazine.
bool isZipName(const std::string &path);
// Used by splitCommandLine: whether an argument names a magazine, an
// existing folder or an existing file named *.zip.
bool namesMagazine(const std::string &argument);
// Called by main with the arguments behind the program's name.
CommandLine splitCommandLine(const std::vector<std::string> &arguments);

// Used by enterMagazine and findDemoMagazine: whether folder holds a
// magazine, anything named data/orbex.dat, the article archive, so that a
// start inside a magazine behaves as it always did.
bool holdsMagazine(const std::string &folder);
// Used by enterMagazine: the demo magazine that came with the program at
// exePath, <exe dir>/../share/orbex/magazine first (a moved installation
// still finds its own), then <exe dir>/magazine (the build tree's), then
// <dataDir>/magazine, where the build installs it. Empty when none holds a
// magazine.
std::string findDemoMagazine(const std::string &exePath, const std::string &dataDir);
// Used by enterMagazine: whether folder is the demo magazine installed with
// the program at exePath (<exe dir>/../share/orbex/magazine or
// <dataDir>/magazine). The package manager owns it: runs never write into
// it, even where they could.
bool isInstalledMagazine(const std::string &folder, const std::string &exePath, const std::string &dataDir);

// The magazine a start opened.
struct OpenedMagazine {
    // The demo installed with the program, which is never written into.
    bool installed = false;
    // The zip file's absolute path when the magazine is one; it is then
    // mounted, and the working folder stays the start folder.
    std::string zip;
};
// Called by main before anything else: enters the magazine's folder, or
// opens its zip file, checks it whole and mounts it (common/zipfolder.h).
// named is the command line's magazine, empty when it names none; a folder
// or zip named there must hold data/orbex.dat, where ORBEX_MAGAZINE takes
// any. False, with one line for standard error in *problem, when there is
// none to open.
bool enterMagazine(const std::string &named, const char *dataDir, OpenedMagazine *opened, std::string &problem);

} // namespace orbex
