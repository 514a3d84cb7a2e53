// A flipping chain as doInit makes one: the display object, the mode, a
// primary surface with one back buffer. For the tests of the display layer
// and of the backends under it.
#pragma once

#include <cstdint>

#include "platform/ddraw.h"

namespace orbex::test {

struct Chain {
    // At depth 16 or 24, or in the desktop's mode for 0; each step is
    // expected to succeed.
    explicit Chain(DWORD depth, HWND hwnd = nullptr);
    ~Chain();
    Chain(const Chain &) = delete;
    Chain &operator=(const Chain &) = delete;

    // The whole back buffer locked into *desc.
    HRESULT lock(DDSURFACEDESC *desc);
    // A frame whose every byte is byte, drawn and flipped.
    HRESULT flip(std::uint8_t byte = 0);
    // The chain goes, as when the viewer releases it.
    void release();

    IDirectDraw *dd = nullptr;
    IDirectDrawSurface *primary = nullptr;
    IDirectDrawSurface *back = nullptr;
};

} // namespace orbex::test
