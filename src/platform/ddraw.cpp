// The display layer, emulated once for every backend: the display object,
// the display modes on offer, a flipping chain of a primary surface and one
// back buffer in memory, plain offscreen surfaces, and the lock, flip and
// restore rules with their result codes. A flip hands the frame to the
// backend and moves a virtual clock on; a frame drawn into the back buffer
// lets input held back for it go on.
#include "platform/ddraw.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/geometry.h"
#include "platform/internal.h"
#include "platform/testing.h"

namespace orbex {

namespace {

struct Mode {
    DWORD width = 0;
    DWORD height = 0;
    int depth = 0;
};

class Surface;

// What the screen offers: 640x480 at 16 and 24 bits, 5-6-5 at 16, unless a
// test asks for something else.
struct Offer {
    std::vector<int> depths{16, 24};
    // The desktop's depth, kept while the viewer sets no mode.
    int desktopDepth = 16;
    DWORD red16 = 0xF800, green16 = 0x07E0, blue16 = 0x001F;
    int pitchPadding = 0;
};

struct DisplayLayer {
    Offer offer;
    Mode mode;
    std::map<DisplayOp, std::deque<HRESULT>> failures;
    std::vector<std::string> calls;
    std::uint64_t flips = 0;
    // The live surfaces, so that all can be marked lost at once.
    std::vector<Surface *> surfaces;
    const Surface *primary = nullptr;
    // The frame of the last flip: in the primary while it lives, then a copy.
    FrameView shown;
    std::vector<std::uint8_t> kept;
};

DisplayLayer layer;

std::string hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

// An injected failure for this call of op, else DD_OK.
HRESULT injected(DisplayOp op) {
    auto it = layer.failures.find(op);
    if (it == layer.failures.end() || it->second.empty())
        return DD_OK;
    HRESULT code = it->second.front();
    it->second.pop_front();
    return code;
}

void masksFor(int depth, DWORD *r, DWORD *g, DWORD *b) {
    if (depth == 16)
        *r = layer.offer.red16, *g = layer.offer.green16, *b = layer.offer.blue16;
    else
        *r = 0xFF0000, *g = 0x00FF00, *b = 0x0000FF;
}

bool offered(DWORD width, DWORD height, DWORD depth) {
    const std::vector<int> &depths = layer.offer.depths;
    return width == SCREENWIDTH && height == SCREENHEIGHT && (depth == 16 || depth == 24) &&
           std::find(depths.begin(), depths.end(), static_cast<int>(depth)) != depths.end();
}

bool validRect(const RECT *rect, int width, int height) {
    return rect == nullptr || (rect->left >= 0 && rect->top >= 0 && rect->right <= width && rect->bottom <= height &&
                               rect->left < rect->right && rect->top < rect->bottom);
}

enum class Kind { Primary, Back, Offscreen };

class Surface final : public IDirectDrawSurface {
  public:
    Surface(Kind kind, int width, int height, int depth)
        : kind(kind), width(width), height(height), depth(depth), pitch(width * (depth / 8) + layer.offer.pitchPadding),
          memory(static_cast<std::size_t>(pitch) * static_cast<std::size_t>(height), 0) {
        layer.surfaces.push_back(this);
    }

    HRESULT Lock(RECT *rect, DDSURFACEDESC *desc, DWORD flags, void *event) override {
        HRESULT result = lockMemory(rect, desc, flags, event);
        // No frame is drawn now: input held back for one must not wait on it.
        if (kind == Kind::Back && result != DD_OK)
            releaseHeldInput();
        return result;
    }

    HRESULT lockMemory(RECT *rect, DDSURFACEDESC *desc, DWORD, void *) {
        if (kind == Kind::Back)
            if (HRESULT code = injected(DisplayOp::LockBack); code != DD_OK)
                return code;
        if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC) || !validRect(rect, width, height))
            return DDERR_INVALIDPARAMS;
        if (lost)
            return DDERR_SURFACELOST;
        if (locked)
            return DDERR_SURFACEBUSY;
        locked = true;
        int left = rect != nullptr ? rect->left : 0;
        int top = rect != nullptr ? rect->top : 0;
        desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_LPSURFACE | DDSD_PIXELFORMAT;
        desc->dwWidth = static_cast<DWORD>(width);
        desc->dwHeight = static_cast<DWORD>(height);
        desc->lPitch = pitch;
        desc->lpSurface = memory.data() + static_cast<std::ptrdiff_t>(top) * pitch + left * (depth / 8);
        fillFormat(&desc->ddpfPixelFormat);
        return DD_OK;
    }

    HRESULT Unlock(void *) override {
        if (!locked)
            return DDERR_NOTLOCKED;
        locked = false;
        // A frame has been drawn: it has seen every press that came before it.
        if (kind == Kind::Back)
            releaseHeldInput();
        return DD_OK;
    }

    HRESULT Flip(IDirectDrawSurface *, DWORD) override {
        if (HRESULT code = injected(DisplayOp::FlipPrimary); code != DD_OK)
            return code;
        if (kind != Kind::Primary || back == nullptr)
            return DDERR_INVALIDOBJECT;
        if (lost || back->lost)
            return DDERR_SURFACELOST;
        if (back->locked)
            return DDERR_SURFACEBUSY;
        memory.swap(back->memory);
        layer.shown = FrameView{memory.data(), width, height, pitch, depth, 0, 0, 0};
        masksFor(depth, &layer.shown.redMask, &layer.shown.greenMask, &layer.shown.blueMask);
        ++layer.flips;
        videoBackend()->presentFrame(layer.shown);
        // A scripted run's time: one step of the clock, and of the music, a flip.
        if (DWORD step = virtualClockStep(); step != 0) {
            advanceVirtualClock(step);
            if (MusicEngine *music = musicEngine())
                music->advance(step);
        }
        return DD_OK;
    }

    HRESULT Restore() override {
        layer.calls.push_back(std::string("Restore ") + kindName());
        DisplayOp op = kind == Kind::Primary ? DisplayOp::RestorePrimary
                       : kind == Kind::Back  ? DisplayOp::RestoreBack
                                             : DisplayOp::RestoreOffscreen;
        if (HRESULT code = injected(op); code != DD_OK)
            return code;
        // The frames of the chain are the backend's to bring back.
        if (kind == Kind::Back && lost && !videoBackend()->restoreFrames())
            return DDERR_SURFACELOST;
        lost = false;
        return DD_OK;
    }

    HRESULT GetAttachedSurface(DDSCAPS *caps, IDirectDrawSurface **surface) override {
        layer.calls.push_back("GetAttachedSurface caps " + (caps != nullptr ? hex(caps->dwCaps) : std::string("none")));
        if (HRESULT code = injected(DisplayOp::GetAttachedSurface); code != DD_OK)
            return code;
        if (caps == nullptr || surface == nullptr || back == nullptr || (caps->dwCaps & DDSCAPS_BACKBUFFER) == 0)
            return DDERR_INVALIDPARAMS;
        *surface = back.get();
        return DD_OK;
    }

    HRESULT GetPixelFormat(DDPIXELFORMAT *format) override {
        if (HRESULT code = injected(DisplayOp::GetPixelFormat); code != DD_OK)
            return code;
        if (format == nullptr || format->dwSize != sizeof(DDPIXELFORMAT))
            return DDERR_INVALIDPARAMS;
        fillFormat(format);
        return DD_OK;
    }

    ULONG Release() override {
        layer.calls.push_back(std::string("Release ") + kindName());
        // The back buffer belongs to the primary's chain and goes with it.
        if (kind == Kind::Back)
            return 1;
        if (kind == Kind::Primary)
            videoBackend()->closeFrames();
        delete this;
        return 0;
    }

    void fillFormat(DDPIXELFORMAT *format) const {
        format->dwFlags = DDPF_RGB;
        format->dwRGBBitCount = static_cast<DWORD>(depth);
        masksFor(depth, &format->dwRBitMask, &format->dwGBitMask, &format->dwBBitMask);
        format->dwRGBAlphaBitMask = 0;
    }

    const char *kindName() const {
        return kind == Kind::Primary ? "primary" : kind == Kind::Back ? "back" : "offscreen";
    }

    const Kind kind;
    const int width;
    const int height;
    const int depth;
    const int pitch;
    bool locked = false;
    bool lost = false;
    std::vector<std::uint8_t> memory;
    std::unique_ptr<Surface> back;

  private:
    ~Surface() override {
        std::erase(layer.surfaces, this);
        if (layer.primary == this) {
            layer.primary = nullptr;
            // Shots may still ask for the last frame.
            if (layer.shown.pixels == memory.data()) {
                layer.kept.assign(memory.begin(), memory.end());
                layer.shown.pixels = layer.kept.data();
            }
        }
    }
    friend struct std::default_delete<Surface>;
};

// GetCaps: the records emptied, keeping their size; DDERR_INVALIDPARAMS for
// a record of another size.
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

class DirectDraw final : public IDirectDraw {
  public:
    HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override {
        layer.calls.push_back("SetCooperativeLevel " + std::to_string(flags));
        if (HRESULT code = injected(DisplayOp::SetCooperativeLevel); code != DD_OK)
            return code;
        return hwnd != nullptr ? DD_OK : DDERR_INVALIDPARAMS;
    }

    HRESULT GetCaps(DDCAPS *driver, DDCAPS *emulation) override {
        layer.calls.emplace_back("GetCaps");
        if (HRESULT code = injected(DisplayOp::GetCaps); code != DD_OK)
            return code;
        return answerEmptyCaps(driver, emulation);
    }

    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bpp) override {
        layer.calls.push_back("SetDisplayMode " + std::to_string(width) + " " + std::to_string(height) + " " +
                              std::to_string(bpp));
        if (HRESULT code = injected(DisplayOp::SetDisplayMode); code != DD_OK)
            return code;
        if (!offered(width, height, bpp))
            return DDERR_INVALIDMODE;
        layer.mode = Mode{width, height, static_cast<int>(bpp)};
        return DD_OK;
    }

    HRESULT CreateSurface(DDSURFACEDESC *desc, IDirectDrawSurface **surface, void *) override {
        if (desc == nullptr || surface == nullptr || desc->dwSize != sizeof(DDSURFACEDESC))
            return DDERR_INVALIDPARAMS;
        bool primary = (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0;
        // What was asked for, so tests can see the exact description.
        std::string call = primary ? "CreateSurface primary" : "CreateSurface offscreen";
        call += " flags " + hex(desc->dwFlags) + " caps " + hex(desc->ddsCaps.dwCaps);
        if ((desc->dwFlags & DDSD_BACKBUFFERCOUNT) != 0)
            call.append(" back ").append(std::to_string(desc->dwBackBufferCount));
        bool sized = (desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != 0;
        if (sized)
            call.append(" ").append(std::to_string(desc->dwWidth)).append("x").append(std::to_string(desc->dwHeight));
        layer.calls.push_back(call);
        if (HRESULT code = injected(primary ? DisplayOp::CreatePrimary : DisplayOp::CreateOffscreen); code != DD_OK)
            return code;
        auto width = static_cast<int>(layer.mode.width);
        auto height = static_cast<int>(layer.mode.height);
        if (!primary && sized) {
            width = static_cast<int>(desc->dwWidth);
            height = static_cast<int>(desc->dwHeight);
        }
        if (width <= 0 || height <= 0 || width > 8192 || height > 8192)
            return DDERR_INVALIDPARAMS;
        if (primary && !videoBackend()->openFrames(width, height, layer.mode.depth))
            return DDERR_OUTOFMEMORY;
        auto *s = new Surface(primary ? Kind::Primary : Kind::Offscreen, width, height, layer.mode.depth);
        if (primary) {
            layer.primary = s;
            if ((desc->dwFlags & DDSD_BACKBUFFERCOUNT) != 0 && desc->dwBackBufferCount == 1)
                s->back.reset(new Surface(Kind::Back, width, height, layer.mode.depth));
        }
        *surface = s;
        return DD_OK;
    }

    ULONG Release() override {
        layer.calls.emplace_back("Release");
        delete this;
        return 0;
    }
};

} // namespace

HRESULT DirectDrawCreate(void *, IDirectDraw **directDraw, void *) {
    if (directDraw == nullptr)
        return DDERR_INVALIDPARAMS;
    *directDraw = nullptr;
    layer.calls.emplace_back("DirectDrawCreate");
    if (HRESULT code = injected(DisplayOp::Create); code != DD_OK)
        return code;
    layer.mode = Mode{SCREENWIDTH, SCREENHEIGHT, layer.offer.desktopDepth};
    *directDraw = new DirectDraw();
    return DD_OK;
}

void failDisplay(DisplayOp op, HRESULT code, int times) {
    for (int i = 0; i < times; ++i)
        layer.failures[op].push_back(code);
}

const std::vector<std::string> &displayCalls() { return layer.calls; }

std::uint64_t flipCount() { return layer.flips; }

void offerDepths(const std::vector<int> &depths) { layer.offer.depths = depths; }

void setDesktopDepth(int depth) { layer.offer.desktopDepth = depth; }

void setMasks16(DWORD red, DWORD green, DWORD blue) {
    layer.offer.red16 = red, layer.offer.green16 = green, layer.offer.blue16 = blue;
}

void setPitchPadding(int bytes) { layer.offer.pitchPadding = bytes; }

void loseSurfaces() {
    for (Surface *s : layer.surfaces)
        s->lost = true;
}

FrameView shownFrame() {
    if (layer.shown.pixels == nullptr)
        return FrameView{nullptr, SCREENWIDTH, SCREENHEIGHT, 0, 0, 0, 0, 0};
    return layer.shown;
}

// Surfaces the viewer never released stay with it; they are only forgotten.
void resetDisplayLayer() { layer = DisplayLayer{}; }

} // namespace orbex
