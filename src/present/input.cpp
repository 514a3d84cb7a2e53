#include "present/input.h"

#include "base/settings.h"
#include "platform/windows.h"

namespace orbex {

MouseState mouseState;

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

} // namespace orbex
