#include "present/navigation.h"

#include "base/settings.h"
#include "common/files.h"
#include "common/geometry.h"
#include "music/music.h"
#include "present/frame.h"
#include "present/input.h"
#include "text/archive.h"

namespace orbex {

// Tested before the step, so the position may come to rest past a bound by
// less than one step.
void scrollAtEdges() {
    if (bPointerOn != 1 || !(dwFrames > 0.0f))
        return;
    if (nMouseY > BOTTOM_EDGE_Y && static_cast<float>(nLineCount - PAGE_LINES) > ScrollPosition)
        ScrollPosition += fScrollStep;
    if (nMouseY < TOP_EDGE_Y && ScrollPosition > 0.0f)
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
    if (openRegularFile(name) == nullptr)
        return;
    switchMusic(name);
    bLinkTaken = 1;
}

bool linkPressPending() { return bLeftButton == 1 && bLinkTaken == 0; }

} // namespace orbex
