// The display layer as the viewer sees it: a display object, a flipping
// chain of a primary surface and one back buffer, plain offscreen surfaces,
// lock/unlock/flip/restore with DirectDraw's result codes. Emulated in
// memory (ddraw.cpp); the installed backend shows the flipped frames.
#pragma once

#include "platform/windows.h"

namespace orbex {

using HRESULT = std::int32_t;

constexpr HRESULT toResult(std::uint32_t code) { return static_cast<HRESULT>(code); }

constexpr HRESULT DD_OK = 0;
constexpr HRESULT DDERR_GENERIC = toResult(0x80004005u);
constexpr HRESULT DDERR_UNSUPPORTED = toResult(0x80004001u);
constexpr HRESULT DDERR_OUTOFMEMORY = toResult(0x8007000Eu);
constexpr HRESULT DDERR_INVALIDPARAMS = toResult(0x80070057u);
constexpr HRESULT DDERR_INVALIDOBJECT = toResult(0x88760082u);
constexpr HRESULT DDERR_INVALIDMODE = toResult(0x8876005Au);
constexpr HRESULT DDERR_NOEXCLUSIVEMODE = toResult(0x887601E1u);
constexpr HRESULT DDERR_SURFACEBUSY = toResult(0x887601AEu);
constexpr HRESULT DDERR_SURFACELOST = toResult(0x887601C2u);
constexpr HRESULT DDERR_WASSTILLDRAWING = toResult(0x8876021Cu);
constexpr HRESULT DDERR_NOTLOCKED = toResult(0x887602E6u);

constexpr DWORD DDSCL_FULLSCREEN = 0x00000001;
constexpr DWORD DDSCL_EXCLUSIVE = 0x00000010;

constexpr DWORD DDSD_CAPS = 0x00000001;
constexpr DWORD DDSD_HEIGHT = 0x00000002;
constexpr DWORD DDSD_WIDTH = 0x00000004;
constexpr DWORD DDSD_PITCH = 0x00000008;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x00000020;
constexpr DWORD DDSD_LPSURFACE = 0x00000800;
constexpr DWORD DDSD_PIXELFORMAT = 0x00001000;

constexpr DWORD DDSCAPS_BACKBUFFER = 0x00000004;
constexpr DWORD DDSCAPS_COMPLEX = 0x00000008;
constexpr DWORD DDSCAPS_FLIP = 0x00000010;
constexpr DWORD DDSCAPS_FRONTBUFFER = 0x00000020;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x00000040;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x00000200;

constexpr DWORD DDLOCK_WAIT = 0x00000001;

constexpr DWORD DDPF_RGB = 0x00000040;

// Eight double words, 32 bytes, as the viewer's dwSize expects.
struct DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    DWORD dwRGBBitCount;
    DWORD dwRBitMask;
    DWORD dwGBitMask;
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
};

struct DDSCAPS {
    DWORD dwCaps;
};

// The record sizes are those the viewer was written against: a surface
// description of 108 bytes and a capability record of 316, which the size
// fields carry. Four-byte packing keeps the description at 108 with a 64-bit
// pixel address.
#pragma pack(push, 4)
struct DDSURFACEDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch;
    DWORD dwBackBufferCount;
    void *lpSurface;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
    DWORD dwReserved[(48 - sizeof(void *)) / 4]; // up to 108 bytes
};
#pragma pack(pop)
static_assert(sizeof(DDSURFACEDESC) == 108);

struct DDCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwVidMemTotal;
    DWORD dwVidMemFree;
    DWORD dwReserved[316 / 4 - 5];
};
static_assert(sizeof(DDCAPS) == 316);

class IDirectDrawSurface {
  public:
    virtual HRESULT Lock(RECT *rect, DDSURFACEDESC *desc, DWORD flags, void *event) = 0;
    virtual HRESULT Unlock(void *rect) = 0;
    virtual HRESULT Flip(IDirectDrawSurface *target, DWORD flags) = 0;
    virtual HRESULT Restore() = 0;
    virtual HRESULT GetAttachedSurface(DDSCAPS *caps, IDirectDrawSurface **surface) = 0;
    virtual HRESULT GetPixelFormat(DDPIXELFORMAT *format) = 0;
    virtual ULONG Release() = 0;

  protected:
    virtual ~IDirectDrawSurface() = default;
};

class IDirectDraw {
  public:
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) = 0;
    virtual HRESULT GetCaps(DDCAPS *driverCaps, DDCAPS *emulationCaps) = 0;
    virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) = 0;
    virtual HRESULT CreateSurface(DDSURFACEDESC *desc, IDirectDrawSurface **surface, void *outer) = 0;
    virtual ULONG Release() = 0;

  protected:
    virtual ~IDirectDraw() = default;
};

// Called by doInit: the display object, over the installed backend.
HRESULT DirectDrawCreate(void *driverGuid, IDirectDraw **directDraw, void *outer);

} // namespace orbex
