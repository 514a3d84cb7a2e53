// A magazine folder checked before it goes out: every file the viewer opens,
// their sizes and forms, and every link's target.
#pragma once

#include <string>

#include "files.h"
#include "report.h"

namespace orbex {

// Problems go into report; true when nothing stops the viewer from showing
// the magazine as meant. Every file is read without following a link, and
// each module file is loaded once, however many links name it.
bool checkMagazine(const Folder &folder, Report &report);
// The same for a folder or a zip magazine named on the command line; a zip
// the viewer refuses is an error of its own.
bool checkMagazine(const std::string &path, Report &report);

} // namespace orbex
