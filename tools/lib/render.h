// A page of a magazine drawn by the viewer's own code, headless, into a PNG:
// what the reader will see, without starting the viewer by hand.
#pragma once

#include <string>

#include "report.h"

namespace orbex {

// Opens article number at line as a link would, draws two frames (the scroll
// bar shows a frame late) without pointer or music, and writes the last one.
// Runs the viewer's start-up in folder, so it may create orbex.cfg there as
// the viewer does. Once per process: the viewer's state is global.
bool renderArticle(const std::string &folder, int number, float line, const std::string &png, Report &report);

} // namespace orbex
