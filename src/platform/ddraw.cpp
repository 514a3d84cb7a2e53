#include "platform/ddraw.h"

#include <cstring>
#include <initializer_list>

#include "platform/backend.h"

namespace orbex {

HRESULT answerEmptyCaps(DDCAPS *driverCaps, DDCAPS *emulationCaps) {
    for (DDCAPS *caps : {driverCaps, emulationCaps})
        if (caps != nullptr && caps->dwSize != sizeof(DDCAPS))
            return DDERR_INVALIDPARAMS;
    for (DDCAPS *caps : {driverCaps, emulationCaps})
        if (caps != nullptr) {
            std::memset(caps, 0, sizeof *caps);
            caps->dwSize = sizeof *caps;
        }
    return DD_OK;
}

HRESULT DirectDrawCreate(void *, IDirectDraw **directDraw, void *) {
    if (directDraw == nullptr)
        return DDERR_INVALIDPARAMS;
    *directDraw = nullptr;
    return videoBackend()->createDirectDraw(directDraw);
}

} // namespace orbex
