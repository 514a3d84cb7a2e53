#include "present/navigation.h"

#include <cstdio>

#include "music/music.h"
#include "present/frame.h"
#include "shell/textfile.h"
#include "shell/windowproc.h"
#include "text/archive.h"

namespace orbex {

namespace {

constexpr std::int32_t WINDOW_LINES = 15;
constexpr std::int32_t BOTTOM_EDGE = 450;
constexpr std::int32_t TOP_EDGE = 30;

} // namespace

// Tested before the step, so the position may come to rest past a bound by
// less than one step.
void scrollAtEdges() {
    if (bPointerOn != 1 || !(dwFrames > 0.0f))
        return;
    if (nMouseY > BOTTOM_EDGE && static_cast<float>(nLineCount - WINDOW_LINES) > ScrollPosition)
        ScrollPosition += fScrollStep;
    if (nMouseY < TOP_EDGE && ScrollPosition > 0.0f)
        ScrollPosition -= fScrollStep;
}

void followArticleLink(std::int32_t target, std::int32_t line) {
    if (nArticle == 1)
        fContentsScroll = ScrollPosition;
    nArticle = target;
    selectArticle(target);
    // Also the contents page opens at the link's line, not at its saved one.
    ScrollPosition = static_cast<float>(line);
    bLinkTaken = 1;
}

void followMusicLink(const char *name) {
    // Only a regular file counts: a folder, a device or a pipe is as missing,
    // and the test never blocks.
    std::FILE *module = openRegularFile(name);
    if (module == nullptr)
        return;
    std::fclose(module);
    switchMusic(name);
    bLinkTaken = 1;
}

bool linkPressPending() { return bLeftButton == 1 && bLinkTaken == 0; }

} // namespace orbex
