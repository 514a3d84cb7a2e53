// A magazine folder checked before it goes out: every file the viewer opens,
// their sizes and forms, and every link's target.
#pragma once

#include <string>

#include "report.h"

namespace orbex {

// Problems go into report; true when nothing stops the viewer from showing
// the magazine as meant.
bool checkMagazine(const std::string &folder, Report &report);

} // namespace orbex
