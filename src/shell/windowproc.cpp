#include "shell/windowproc.h"

#include "base/log.h"
#include "base/settings.h"
#include "common/geometry.h"
#include "common/start.h"
#include "display/display.h"
#include "music/music.h"
#include "present/frame.h"
#include "present/input.h"
#include "shell/preview.h"
#include "text/archive.h"

namespace orbex {

namespace {

void runShutdownSequence() {
    writeLog("Closing Engine\n");
    stopMusic();
    writeLog("Closing DirectDraw\n");
    releaseDisplayObjects();
    writeLog("Quit viewer\n");
    PostQuitMessage(0);
}

// Back to the contents page; pressed there, the end picture starts.
void onRightButton() {
    if (nArticle == 1)
        ViewerMode = MODE_OUTRO;
    nArticle = 1;
    selectArticle(1);
}

// Comparisons with integer expressions are made as the original did: the
// integer sum first, then converted to float. One switch over the keys, as
// long as the key table it is: split, the keys' order and fall-throughs,
// which are the original's behaviour, would no longer read at a glance.
void onKey(WPARAM key) {
    const std::int32_t L = nLineCount;
    switch (key) {
    case VK_SPACE:
        bLeftButton = 1;
        pressSeen = 0;
        break;
    case VK_PRIOR:
        if (ScrollPosition > static_cast<float>(PAGE_LINES - 1))
            ScrollPosition -= static_cast<float>(PAGE_LINES);
        else
            ScrollPosition = 0;
        break;
    case VK_NEXT:
        if (static_cast<float>(L - 2 * PAGE_LINES) > ScrollPosition)
            ScrollPosition += static_cast<float>(PAGE_LINES);
        else
            ScrollPosition = static_cast<float>(L - PAGE_LINES);
        break;
    case VK_END:
        if (L - PAGE_LINES > 0)
            ScrollPosition = static_cast<float>(L - PAGE_LINES);
        break;
    case VK_HOME:
        ScrollPosition = 0;
        break;
    case VK_UP:
        if (ScrollPosition > 0)
            ScrollPosition -= 1.0f;
        break;
    case VK_DOWN:
        if (static_cast<float>(L - PAGE_LINES) > ScrollPosition)
            ScrollPosition += 1.0f;
        break;
    case VK_NUMPAD2:
        if (nMouseY < SCREENHEIGHT)
            nMouseY += KEYPAD_STEP;
        break;
    case VK_NUMPAD4:
        if (nMouseX > 0)
            nMouseX -= KEYPAD_STEP;
        break;
    case VK_NUMPAD6:
        if (nMouseX < SCREENWIDTH)
            nMouseX += KEYPAD_STEP;
        break;
    case VK_NUMPAD8:
        if (nMouseY > 0)
            nMouseY -= KEYPAD_STEP;
        break;
    case VK_F1:
        selectArticle(2);
        nArticle = 2;
        break;
    case VK_F2:
        saveArticle();
        break;
    case VK_F5:
        bPointerOn = bPointerOn == 1 ? 0 : 1;
        break;
    case VK_F9:
        bShowFrameRate = bShowFrameRate == 0 ? 1 : 0;
        break;
    case VK_F12:
        ViewerMode = MODE_OUTRO;
        break;
    default:
        break;
    }
}

} // namespace

LRESULT viewerWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (bQuitRequest == 1)
        PostMessageA(hWnd, WM_CLOSE, 0, 0);
    switch (message) {
    case WM_DESTROY:
        runShutdownSequence();
        break;
    case WM_ACTIVATEAPP:
        bActive = wParam != 0 ? 1 : 0;
        break;
    case WM_SETCURSOR:
        // Answered here, never by the default handling, so the class pointer
        // is never set: with a choice other than 1 the pointer keeps its shape.
        if (nPointerChoice == 1)
            SetCursor(nullptr);
        return 1;
    case WM_KEYDOWN:
        onKey(wParam);
        break;
    case WM_LBUTTONDOWN:
        // A new press, which no frame has seen yet.
        bLeftButton = 1;
        pressSeen = 0;
        break;
    case WM_LBUTTONUP:
        bLeftButton = 0;
        bLinkTaken = 0;
        break;
    case WM_RBUTTONDOWN:
        onRightButton();
        break;
    case PREVIEW_REOPEN_MESSAGE:
        reopenMagazine(static_cast<std::int32_t>(wParam), static_cast<std::int32_t>(lParam));
        break;
    default:
        break;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

} // namespace orbex
