#include "present/frame.h"

#include <cstring>

#include "base/settings.h"
#include "common/geometry.h"
#include "music/music.h"
#include "picture/lockedframe.h"
#include "picture/pictures.h"
#include "platform/clock.h"
#include "present/article.h"
#include "present/input.h"
#include "present/navigation.h"
#include "present/overlay.h"
#include "present/pagetext.h"

namespace orbex {

FrameState frameState;

namespace {

constexpr std::uint32_t WINDOW_MS = 1000;
constexpr std::uint32_t INTRO_WINDOWS = 6;

// Row r of the picture goes to row r of the frame: one block when the rows
// lie back to back.
void copyPicture(const TrueColourPicture &picture, LockedFrame frame) {
    if (!frame.drawable())
        return;
    const std::size_t rowBytes = frame.rowBytes();
    if (static_cast<std::size_t>(frame.pitch) == rowBytes) {
        std::memcpy(frame.pixels, picture.data(), rowBytes * SCREENHEIGHT);
        return;
    }
    for (std::int32_t r = 0; r < SCREENHEIGHT; ++r)
        std::memcpy(frame.row(r), picture.data() + static_cast<std::size_t>(r) * rowBytes, rowBytes);
}

} // namespace

void measureFrameRate() {
    ++dwTotalFrames;
    ++dwWindowFrames;
    std::uint32_t elapsed = timeGetTime() - dwWindowStart;
    if (elapsed > WINDOW_MS) {
        dwFrames = static_cast<float>((dwWindowFrames * 1000u) / elapsed);
        dwWindowStart = timeGetTime();
        dwWindowFrames = 0;
        ++dwWindowCount;
        // Only a press that a frame has already seen is let go: one that came
        // just before this frame still gets looked at, so no click is lost.
        if (pressSeen == 1) {
            bLeftButton = 0;
            bLinkTaken = 0;
            pressSeen = 0;
        }
    }
    if (bLeftButton == 1)
        pressSeen = 1;
}

void drawFrame(LockedFrame frame) {
    measureFrameRate();
    if (ViewerMode == MODE_INTRO) {
        copyPicture(picIntro, frame);
        if (dwFrames != 0.0f && (dwWindowCount >= INTRO_WINDOWS || bLeftButton == 1)) {
            ViewerMode = MODE_VIEWING;
            fScrollStep = 20.0f / dwFrames;
        }
    }
    if (ViewerMode == MODE_OUTRO) {
        tellNoArticle();
        std::int32_t volume = fadeMusicStep();
        copyPicture(picOutro, frame);
        if (bLeftButton == 1 || volume == 0)
            bQuitRequest = 1;
    }
    if (ViewerMode == MODE_VIEWING) {
        scrollAtEdges();
        // What this frame draws: a link it follows shows its article next frame.
        tellArticleText();
        copyPicture(picBackground, frame);
        drawArticle(frame);
        drawScrollBar();
        drawHeaderLines(frame);
        drawFrameRate(frame);
        readPointerPosition();
        drawPointer(frame);
    }
}

} // namespace orbex
