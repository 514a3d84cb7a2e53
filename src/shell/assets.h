// The asset set-up of the start-up: pictures, music, pointer, font and the
// pointer choice, in their fixed order, right after doInit.
#pragma once

#include "platform/windows.h"

namespace orbex {

// Called once by initEngine; hWnd owns every message box shown here. Every
// failure is reported here or below and the start-up always goes on.
void initAssets(HWND hWnd);

} // namespace orbex
