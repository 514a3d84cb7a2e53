#include "display/display.h"

#include <string>

#include "base/config.h"
#include "base/log.h"
#include "common/geometry.h"
#include "picture/pixelformat.h"

namespace orbex {

namespace {

constexpr char CAPTION[] = "ORBEX 5";
constexpr char MODE_FAILED_LOG[] = "SetDisplayMode (SCREENWIDTH, SCREENHEIGHT, SCREENCOLORS) FAILED\n";
constexpr char CONTACT[] = "das ORBEX-5-Team: siehe README.md des Projekts (Abschnitt Kontakt).";

void showBox(const char *text) { MessageBoxA(hViewerWindow, text, CAPTION, MB_OK); }

bool trySetMode(std::uint8_t depth) {
    SCREENCOLORS = depth;
    return pDirectDraw->SetDisplayMode(SCREENWIDTH, SCREENHEIGHT, depth) == DD_OK;
}

// The depth rule of the configuration's second byte; false when no mode was
// set, after its log line and message boxes.
bool setDisplayModeByChoice() {
    if (nColourDepthChoice == 0)
        return true;
    if (nColourDepthChoice == 1) {
        if (trySetMode(24) || trySetMode(16))
            return true;
        writeLog(MODE_FAILED_LOG);
        showBox("Versuchte zuerst 640*480*24bpp, danach 640*480*16bpp. Keine der Modies gefunden.");
        std::string text = "BETATESTERNACHRICHT: Derzeit ist leider noch keine 8 BIT version verf\xFC"
                           "gbar... wir arbeiten mit hochdruck daran. Fragen, Kritik, Anregung an ";
        showBox((text + CONTACT).c_str());
        return false;
    }
    if (nColourDepthChoice == 2) {
        if (trySetMode(24))
            return true;
        writeLog(MODE_FAILED_LOG);
        showBox("640*480*24bpp wird NICHT unterst\xFCtzt. Setzten sie die Farbtiefe im SETUP auf 16bpp oder auf "
                "Automatisch.");
        return false;
    }
    if (trySetMode(16))
        return true;
    writeLog(MODE_FAILED_LOG);
    std::string text =
        "640*480*16bpp (HighColor) wird nicht unterst\xFCtzt. Ihre Grafikkarte muss mindestens 1 MB Speicher haben "
        "um bei einer aufl\xF6sung von 640*480 Bildpunkten 16 bit Farben darzustellen. Wenn ihr Rechner allerdings "
        "diese Vorraussetzungen erf\xFCllt und es dennoch nicht funktioniert wenden sie sich bitte an ";
    showBox((text + CONTACT).c_str());
    return false;
}

} // namespace

// The original's start of the display, step by step with its log lines in
// their order; kept in one piece so that order is read in one place.
int doInit(HINSTANCE hInstance, int nCmdShow, WNDPROC lpfnWndProc, InitFailureHandler reportInitFailure) {
    writeLog("doInit\n");

    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = lpfnWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszMenuName = CAPTION;
    wc.lpszClassName = CAPTION;
    RegisterClassA(&wc);

    hViewerWindow = CreateWindowExA(0, CAPTION, CAPTION, WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                    GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, hInstance, nullptr);
    if (hViewerWindow == nullptr)
        return 0;
    ShowWindow(hViewerWindow, nCmdShow);
    UpdateWindow(hViewerWindow);

    if (DirectDrawCreate(nullptr, &pDirectDraw, nullptr) != DD_OK)
        return reportInitFailure(hViewerWindow);
    if (pDirectDraw->SetCooperativeLevel(hViewerWindow, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) != DD_OK)
        return reportInitFailure(hViewerWindow);

    DDCAPS driverCaps{};
    DDCAPS emulationCaps{};
    driverCaps.dwSize = sizeof driverCaps;
    emulationCaps.dwSize = sizeof emulationCaps;
    if (pDirectDraw->GetCaps(&driverCaps, &emulationCaps) != DD_OK)
        return reportInitFailure(hViewerWindow);

    if (auto choice = readConfigByte(2))
        nColourDepthChoice = *choice;
    if (!setDisplayModeByChoice())
        return reportInitFailure(hViewerWindow);

    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    if (pDirectDraw->CreateSurface(&desc, &pPrimarySurface, nullptr) != DD_OK)
        return reportInitFailure(hViewerWindow);

    DDSCAPS backCaps{};
    backCaps.dwCaps = DDSCAPS_BACKBUFFER;
    if (pPrimarySurface->GetAttachedSurface(&backCaps, &pBackSurface) != DD_OK)
        return reportInitFailure(hViewerWindow);

    DDSURFACEDESC offscreen{};
    offscreen.dwSize = sizeof offscreen;
    offscreen.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    offscreen.dwHeight = SCREENHEIGHT;
    offscreen.dwWidth = SCREENWIDTH;
    offscreen.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    if (pDirectDraw->CreateSurface(&offscreen, &pOffscreenSurface, nullptr) != DD_OK) {
        writeLog("OFFscreen creation FAILED\n");
        return 0;
    }
    writeLog("OFFscreen created\n");
    return 1;
}

HRESULT restoreAll() {
    writeLog("restoreAll\n");
    HRESULT result = pPrimarySurface->Restore();
    if (result != DD_OK)
        return result;
    writeLog("Primary OK\n");
    result = pBackSurface->Restore();
    if (result != DD_OK)
        return result;
    writeLog("Back OK\n");
    // Without an offscreen surface (its creation failed) frames are still
    // drawn, so a lost chain must be restorable all the same.
    if (pOffscreenSurface != nullptr && pOffscreenSurface->Restore() == DD_OK)
        writeLog("Offscreen OK\n");
    return DD_OK;
}

void releaseDisplayObjects() {
    if (pDirectDraw == nullptr)
        return;
    if (pPrimarySurface != nullptr) {
        pPrimarySurface->Release();
        pPrimarySurface = nullptr;
    }
    if (pOffscreenSurface != nullptr) {
        pOffscreenSurface->Release();
        pOffscreenSurface = nullptr;
    }
    pDirectDraw->Release();
    pDirectDraw = nullptr;
    // The back buffer went with the primary's chain.
    pBackSurface = nullptr;
}

} // namespace orbex
