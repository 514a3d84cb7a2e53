#include "display/update.h"

#include <cstdio>

#include "base/log.h"
#include "base/settings.h"
#include "common/geometry.h"
#include "display/display.h"
#include "present/frame.h"

namespace orbex {

namespace {

void logLockFailure(HRESULT result) {
    char line[64];
    std::snprintf(line, sizeof line, "Lock returned %lu/OK is %lu\n",
                  static_cast<unsigned long>(static_cast<std::uint32_t>(result)), static_cast<unsigned long>(DD_OK));
    writeLog(line);
    if (result == DDERR_INVALIDOBJECT)
        writeLog("DDERR_INVALIDOBJECT\n");
    else if (result == DDERR_INVALIDPARAMS)
        writeLog("DDERR_INVALIDPARAMS\n");
    else if (result == DDERR_SURFACEBUSY)
        writeLog("DDERR_SURFACEBUSY\n");
    else if (result == DDERR_SURFACELOST)
        writeLog("DDERR_SURFACELOST\n");
    writeLog("Override\n");
}

} // namespace

void updateFrame() {
    if (bQuitRequest == 1)
        writeLog("\n!!!updateFrame A F T E R shutdown!!!\n");
    // Nothing is presented once the display objects are gone.
    if (pBackSurface == nullptr || pPrimarySurface == nullptr)
        return;

    RECT area{0, 0, SCREENWIDTH, SCREENHEIGHT};
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    HRESULT result;
    while (true) {
        result = pBackSurface->Lock(&area, &desc, DDLOCK_WAIT, nullptr);
        if (result == DDERR_SURFACELOST) {
            result = restoreAll();
            if (result != DD_OK)
                break;
        } else if (result != DDERR_WASSTILLDRAWING) {
            break;
        }
    }
    if (result != DD_OK) {
        logLockFailure(result);
        return;
    }

    drawFrame(LockedFrame(static_cast<std::uint8_t *>(desc.lpSurface), desc.lPitch));
    pBackSurface->Unlock(nullptr);

    while (true) {
        result = pPrimarySurface->Flip(nullptr, 0);
        if (result == DDERR_SURFACELOST) {
            restoreAll();
            break;
        }
        if (result != DDERR_WASSTILLDRAWING)
            break;
    }
}

} // namespace orbex
