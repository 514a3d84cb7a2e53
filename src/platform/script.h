// Automated runs, the same in every backend that offers them (headless, the
// browser): a script of user actions from ORBEX_SCRIPT, played one command
// per look for a message, and the virtual clock of ORBEX_CLOCK.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/windows.h"

namespace orbex {

class InputScript {
  public:
    // Parses script text (one command a line, # starts a comment). On an
    // error, names the line in *error and keeps the script it had.
    bool load(const std::string &text, std::string *error);
    // Called by a backend's pumpEvents: plays commands until one posts a
    // message or lets the loop find the queue empty once ("frames N" does
    // that N times). A "shot" command calls shot with its file name. When the
    // script is used up, posts WM_CLOSE once while windowOpen.
    void pump(bool windowOpen, const std::function<void(const std::string &)> &shot);
    // The pointer as the last "move" left it.
    POINT cursor() const { return ptCursor; }

  private:
    enum class Command { Frames, Key, Move, LeftDown, LeftUp, RightDown, Activate, Shot, Close };
    struct Line {
        Command command;
        long a = 0;
        long b = 0;
        std::string file;
    };
    static bool parseLine(const std::string &raw, Line *out, std::string *why);

    std::vector<Line> lines;
    std::size_t nNext = 0;
    long nFramesLeft = 0;
    bool bCloseSent = false;
    POINT ptCursor{0, 0};
};

// Reads ORBEX_CLOCK (starting the virtual clock) and ORBEX_SCRIPT (into
// script, with *scripted set when there is one); false, after a line on
// standard error, when either cannot be used: a run without them would end
// with success having done something else.
bool readAutomation(InputScript *script, bool *scripted);

} // namespace orbex
