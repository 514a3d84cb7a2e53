#include "shell/windowproc.h"

#include "display/display.h"
#include "music/music.h"
#include "present/frame.h"
#include "shell/config.h"
#include "shell/log.h"
#include "shell/startup.h"
#include "text/archive.h"

namespace orbex {

std::int32_t nMouseX = 0;
std::int32_t nMouseY = 0;
std::int32_t bLeftButton = 0;
std::int32_t bLinkTaken = 0;
std::uint8_t bPointerOn = 1;
std::uint8_t bShowFrameRate = 0;

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
// integer sum first, then converted to float.
void onKey(WPARAM key) {
    const std::int32_t L = nLineCount;
    switch (key) {
    case VK_SPACE:
        bLeftButton = 1;
        break;
    case VK_PRIOR:
        if (ScrollPosition > 14.0f)
            ScrollPosition -= 15.0f;
        else
            ScrollPosition = 0;
        break;
    case VK_NEXT:
        if (static_cast<float>(L - 30) > ScrollPosition)
            ScrollPosition += 15.0f;
        else
            ScrollPosition = static_cast<float>(L - 15);
        break;
    case VK_END:
        if (L - 15 > 0)
            ScrollPosition = static_cast<float>(L - 15);
        break;
    case VK_HOME:
        ScrollPosition = 0;
        break;
    case VK_UP:
        if (ScrollPosition > 0)
            ScrollPosition -= 1.0f;
        break;
    case VK_DOWN:
        if (static_cast<float>(L - 15) > ScrollPosition)
            ScrollPosition += 1.0f;
        break;
    case VK_NUMPAD2:
        if (nMouseY < 480)
            nMouseY += 10;
        break;
    case VK_NUMPAD4:
        if (nMouseX > 0)
            nMouseX -= 10;
        break;
    case VK_NUMPAD6:
        if (nMouseX < 640)
            nMouseX += 10;
        break;
    case VK_NUMPAD8:
        if (nMouseY > 0)
            nMouseY -= 10;
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
        bLeftButton = 1;
        break;
    case WM_LBUTTONUP:
        bLeftButton = 0;
        bLinkTaken = 0;
        break;
    case WM_RBUTTONDOWN:
        onRightButton();
        break;
    default:
        break;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

void readPointerPosition() {
    if (bMouseOn != 1)
        return;
    POINT point{};
    // Without a position from the platform the pointer stays where it was.
    if (GetCursorPos(&point) != FALSE) {
        nMouseX = point.x;
        nMouseY = point.y;
    }
}

void resetWindowProc() {
    nMouseX = 0;
    nMouseY = 0;
    bLeftButton = 0;
    bLinkTaken = 0;
    bPointerOn = 1;
    bShowFrameRate = 0;
}

} // namespace orbex
