#include "shell/startup.h"

#include <cstring>

#include "base/log.h"
#include "base/settings.h"
#include "common/start.h"
#include "display/display.h"
#include "display/update.h"
#include "shell/assets.h"
#include "shell/windowproc.h"
#include "text/archive.h"

namespace orbex {

namespace {

constexpr char CREDITS_LINE[] = "\nORBEX 5 disk magazine viewer - ORBEX 5 developers, after the original ORBEX team\n";
constexpr char VERSION_LINE[] = "Version 0.95\n";

// Frames are drawn whenever no message waits; the quit message ends the loop.
int runMessageLoop() {
    MSG msg{};
    while (true) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) != FALSE) {
            if (GetMessageA(&msg, nullptr, 0, 0) == FALSE)
                return static_cast<int>(msg.wParam);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (bActive != 0 && nInitStage == INIT_DONE) {
            updateFrame();
        } else {
            WaitMessage();
        }
    }
}

} // namespace

void scanCommandLine(const char *lpCmdLine) {
    for (std::size_t i = 0; i < std::strlen(lpCmdLine); ++i) {
        if (lpCmdLine[i] == NO_MUSIC_LETTER)
            bMusicOn = 0;
        if (lpCmdLine[i] == LOG_LETTER)
            bLogOn = 1;
        if (lpCmdLine[i] == NO_MOUSE_LETTER)
            bMouseOn = 0;
    }
}

int reportInitFailure(HWND hWnd) {
    releaseDisplayObjects();
    MessageBoxA(hWnd, "DirectDraw Init FAILED", "ORBEX 5", MB_OK);
    DestroyWindow(hWnd);
    return 0;
}

int initEngine(HINSTANCE hInstance, HINSTANCE, char *, int nCmdShow) {
    if (doInit(hInstance, nCmdShow, viewerWindowProc, reportInitFailure) == 0)
        return 0;
    initAssets(hViewerWindow);
    updateFrame();
    return 1;
}

int WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, char *lpCmdLine, int nCmdShow) {
    scanCommandLine(lpCmdLine);
    if (bLogOn == 1) {
        appendLogFile(CREDITS_LINE);
        appendLogFile(VERSION_LINE);
    }
    nInitStage = 0;
    initEngine(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
    // Without a window nothing could ever post the quit message: end here
    // instead of waiting for ever.
    if (hViewerWindow == nullptr) {
        writeLog("No window: viewer stopped\n");
        return 1;
    }
    writeLog("Entering DX message loop\n");
    nInitStage = INIT_DONE;
    loadArchive();
    selectArticle(1);
    nArticle = 1;
    return runMessageLoop();
}

} // namespace orbex
