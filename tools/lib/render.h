// A page of a magazine drawn by the viewer's own code, headless, into a PNG:
// what the reader will see, without starting the viewer by hand.
#pragma once

#include <string>

#include "files.h"
#include "report.h"

namespace orbex {

// Opens article number at line as a link would, draws two frames (the scroll
// bar shows a frame late) without pointer or music, and writes the last one.
// Runs the viewer's start-up in folder, so it may create orbex.cfg there as
// the viewer does. Once per process: the viewer's state is global.
bool renderArticle(const std::string &folder, int number, float line, const std::string &png, Report &report);

// Starts the viewer headless in the magazine's folder (named folder in
// messages), without music or pointer, as render and export do; what it
// says in message boxes goes to report. The working folder is the
// magazine's afterwards, as the viewer needs it.
bool startViewerIn(const Folder &magazine, const std::string &folder, Report &report);

// While one lives, the viewer's own readers reach the magazine's files as
// the tools read: through magazine, no symbolic link followed and regular
// files only (export; render reads as the viewer does).
class ReadingThrough {
  public:
    explicit ReadingThrough(const Folder &magazine);
    ~ReadingThrough();
    ReadingThrough(const ReadingThrough &) = delete;
    ReadingThrough &operator=(const ReadingThrough &) = delete;
};

} // namespace orbex
