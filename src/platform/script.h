// Automated runs, the same in every backend that offers them (headless, the
// browser): a script of user actions from ORBEX_SCRIPT, played one command
// per look for a message instead of the backend's input, and the virtual
// clock of ORBEX_CLOCK (platform/internal.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/win32.h"

namespace orbex {

class InputScript {
  public:
    // Parses script text (one command a line, # starts a comment). On an
    // error, names the line in *error and keeps the script it had. Called by
    // startAutomation (ORBEX_SCRIPT) and loadScript (tests).
    bool load(const std::string &text, std::string &error);
    // Called by playScript at every look for a message: plays commands until
    // one posts a message or lets the loop find the queue empty once
    // ("frames N" does that N times). A "shot" command calls shot with its
    // file name. When the script is used up, posts WM_CLOSE once while
    // windowOpen.
    void pump(bool windowOpen, const std::function<void(const std::string &)> &shot);
    // The pointer as the last "move" left it.
    POINT cursor() const { return cursorAt; }

  private:
    enum class Command { Frames, Key, Move, LeftDown, LeftUp, RightDown, Activate, Shot, Close };
    struct Line {
        Command command;
        long a = 0;
        long b = 0;
        std::string file;
    };
    static bool parseLine(const std::string &raw, Line *out, std::string &why);

    std::vector<Line> lines;
    std::size_t next = 0;
    long framesLeft = 0;
    bool closeSent = false;
    POINT cursorAt{0, 0};
};

} // namespace orbex
