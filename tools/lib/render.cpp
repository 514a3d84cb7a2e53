#include "render.h"

#include <unistd.h>

#include <climits>

#include "base/settings.h"
#include "common/codepage.h"
#include "display/display.h"
#include "display/update.h"
#include "platform/headless/headless.h"
#include "present/frame.h"
#include "shell/startup.h"
#include "text/archive.h"

namespace orbex {

bool renderArticle(const std::string &folder, int number, float line, const std::string &png, Report &report) {
    std::string target = png;
    char cwd[PATH_MAX];
    if (!target.empty() && target[0] != '/' && getcwd(cwd, sizeof cwd) != nullptr)
        target = std::string(cwd) + "/" + target;
    if (chdir(folder.c_str()) != 0) {
        report.error(folder + ": cannot enter the folder");
        return false;
    }
    headless::install(false);
    bMusicOn = 0;
    bMouseOn = 0;
    bool ok = initEngine(nullptr, nullptr, nullptr, SW_SHOWDEFAULT) != 0;
    for (const std::string &text : headless::messageBoxes())
        report.error("the viewer says: " + cp1252ToUtf8(text.c_str()));
    if (!ok || bQuitRequest != 0) {
        report.error("the viewer could not start on this folder");
        releaseDisplayObjects();
        return false;
    }
    nInitStage = INIT_DONE;
    loadArchive();
    nArticle = number;
    selectArticle(number);
    ScrollPosition = line;
    bPointerOn = 0;
    ViewerMode = MODE_VIEWING;
    updateFrame();
    updateFrame();
    if (!headless::writeShot(target)) {
        report.error(png + ": cannot write");
        ok = false;
    }
    releaseDisplayObjects();
    return ok;
}

} // namespace orbex
