#include "support/chain.h"

#include <gtest/gtest.h>

#include <cstring>

namespace orbex::test {

Chain::Chain(DWORD depth, HWND hwnd) {
    EXPECT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    if (dd == nullptr)
        return;
    if (hwnd != nullptr) {
        EXPECT_EQ(dd->SetCooperativeLevel(hwnd, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    }
    if (depth != 0) {
        EXPECT_EQ(dd->SetDisplayMode(640, 480, depth), DD_OK);
    }
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    EXPECT_EQ(dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
    if (primary == nullptr)
        return;
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    EXPECT_EQ(primary->GetAttachedSurface(&caps, &back), DD_OK);
}

Chain::~Chain() {
    release();
    if (dd != nullptr)
        dd->Release();
}

HRESULT Chain::lock(DDSURFACEDESC *desc) {
    RECT all{0, 0, 640, 480};
    *desc = DDSURFACEDESC{};
    desc->dwSize = sizeof *desc;
    return back->Lock(&all, desc, DDLOCK_WAIT, nullptr);
}

HRESULT Chain::flip(std::uint8_t byte) {
    DDSURFACEDESC desc;
    if (HRESULT result = lock(&desc); result != DD_OK)
        return result;
    std::memset(desc.lpSurface, byte, static_cast<std::size_t>(desc.lPitch) * 480);
    back->Unlock(nullptr);
    return primary->Flip(nullptr, 0);
}

void Chain::release() {
    if (primary != nullptr)
        primary->Release();
    primary = nullptr;
    back = nullptr;
}

} // namespace orbex::test
