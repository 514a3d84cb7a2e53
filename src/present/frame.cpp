#include "present/frame.h"

#include <cstring>

#include "base/settings.h"
#include "common/geometry.h"
#include "music/music.h"
#include "picture/pictures.h"
#include "picture/pixelformat.h"
#include "platform/clock.h"
#include "present/article.h"
#include "present/input.h"
#include "present/navigation.h"
#include "present/overlay.h"

namespace orbex {

FrameState frameState;

namespace {

constexpr std::uint32_t WINDOW_MS = 1000;
constexpr std::uint32_t INTRO_WINDOWS = 6;

// Row r of the picture goes to r * pitch of the frame.
void copyPicture(const TrueColourPicture &picture, std::uint8_t *frame, std::int32_t pitch) {
    std::size_t rowBytes;
    if (SCREENCOLORS == 24)
        rowBytes = SCREENWIDTH * 3;
    else if (SCREENCOLORS == 16)
        rowBytes = SCREENWIDTH * 2;
    else
        return;
    if (static_cast<std::size_t>(pitch) == rowBytes) {
        std::memcpy(frame, picture.data(), rowBytes * SCREENHEIGHT);
        return;
    }
    for (std::size_t r = 0; r < SCREENHEIGHT; ++r)
        std::memcpy(frame + r * static_cast<std::size_t>(pitch), picture.data() + r * rowBytes, rowBytes);
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
        if (bPressSeen == 1) {
            bLeftButton = 0;
            bLinkTaken = 0;
            bPressSeen = 0;
        }
    }
    if (bLeftButton == 1)
        bPressSeen = 1;
}

void drawFrame(std::uint8_t *frame, std::int32_t pitch) {
    measureFrameRate();
    if (ViewerMode == MODE_INTRO) {
        copyPicture(picIntro, frame, pitch);
        if (dwFrames != 0.0f && (dwWindowCount >= INTRO_WINDOWS || bLeftButton == 1)) {
            ViewerMode = MODE_VIEWING;
            fScrollStep = 20.0f / dwFrames;
        }
    }
    if (ViewerMode == MODE_OUTRO) {
        std::int32_t volume = fadeMusicStep();
        copyPicture(picOutro, frame, pitch);
        if (bLeftButton == 1 || volume == 0)
            bQuitRequest = 1;
    }
    if (ViewerMode == MODE_VIEWING) {
        scrollAtEdges();
        copyPicture(picBackground, frame, pitch);
        drawArticle(frame, pitch);
        drawScrollBar();
        drawHeaderLines(frame, pitch);
        drawFrameRate(frame, pitch);
        readPointerPosition();
        drawPointer(frame, pitch);
    }
}

} // namespace orbex
