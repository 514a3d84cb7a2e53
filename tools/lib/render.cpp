#include "render.h"

#include <unistd.h>

#include "base/settings.h"
#include "common/codepage.h"
#include "common/geometry.h"
#include "display/display.h"
#include "display/update.h"
#include "files.h"
#include "images.h"
#include "platform/headless/headless.h"
#include "platform/install.h"
#include "present/frame.h"
#include "shell/startup.h"
#include "text/archive.h"

namespace orbex {

namespace {

const Folder *readingFrom = nullptr;

UniqueFile openInMagazine(const char *name) { return readingFrom->stream(name); }

} // namespace

ReadingThrough::ReadingThrough(const Folder &magazine) {
    readingFrom = &magazine;
    setMountedFolder(openInMagazine);
}

ReadingThrough::~ReadingThrough() {
    setMountedFolder(nullptr);
    readingFrom = nullptr;
}

bool startViewerIn(const Folder &magazine, const std::string &folder, Report &report) {
    if (fchdir(magazine.descriptor()) != 0) {
        report.error(folder + ": cannot enter the folder");
        return false;
    }
    installBackend(headless::BACKEND, false);
    bMusicOn = 0;
    bMouseOn = 0;
    const bool ok = initEngine(nullptr, nullptr, nullptr, SW_SHOWDEFAULT) != 0 && bQuitRequest == 0;
    for (const std::string &text : headless::messageBoxes())
        report.error("the viewer says: " + cp1252ToUtf8(text.c_str()));
    if (!ok) {
        report.error("the viewer could not start on this folder");
        releaseDisplayObjects();
    }
    return ok;
}

bool renderArticle(const std::string &folder, int number, float line, const std::string &png, Report &report) {
    // Both folders are opened before the viewer moves into the magazine's.
    Folder magazine, out;
    std::string name, why;
    if (!Folder::receiving(png, out, name, why) || !Folder::given(folder, magazine, why)) {
        report.error(why);
        return false;
    }
    if (!startViewerIn(magazine, folder, report))
        return false;
    nInitStage = INIT_DONE;
    loadArchive();
    nArticle = number;
    selectArticle(number);
    ScrollPosition = line;
    bPointerOn = 0;
    ViewerMode = MODE_VIEWING;
    updateFrame();
    updateFrame();
    RgbImage frame{SCREENWIDTH, SCREENHEIGHT, headless::lastFrameRgb()};
    std::vector<std::uint8_t> bytes;
    bool ok = true;
    if (!encodePng(frame, bytes) || !out.write(name, bytes, why)) {
        report.error(why.empty() ? png + ": cannot write" : why);
        ok = false;
    }
    releaseDisplayObjects();
    return ok;
}

} // namespace orbex
