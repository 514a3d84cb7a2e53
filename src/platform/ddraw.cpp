#include "platform/ddraw.h"

#include "platform/backend.h"

namespace orbex {

HRESULT DirectDrawCreate(void *, IDirectDraw **directDraw, void *) {
    if (directDraw == nullptr)
        return DDERR_INVALIDPARAMS;
    *directDraw = nullptr;
    return videoBackend()->createDirectDraw(directDraw);
}

} // namespace orbex
