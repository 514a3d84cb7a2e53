// Which magazine a start shows: the folder ORBEX_MAGAZINE names, the
// working folder when it holds a magazine (as the original, which read the
// files beside it), or else the demo magazine installed with the program.
#pragma once

#include <string>

namespace orbex {

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
// Called by main before anything else: enters the magazine's folder, and
// tells whether it is the installed one. False, after one line on standard
// error, when there is none to enter.
bool enterMagazine(const char *dataDir, bool *installed);

} // namespace orbex
