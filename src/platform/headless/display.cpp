// The display of the headless backend: surfaces in memory, a depth the tests
// choose, and operations that fail on request.
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/headless/headless.h"
#include "platform/headless/internal.h"
#include "platform/png.h"

namespace orbex::headless {

namespace {

struct Settings {
    std::vector<int> depths{16, 24};
    int desktopDepth = 16;
    DWORD red16 = 0xF800, green16 = 0x07E0, blue16 = 0x001F;
    int pitchPadding = 0;
};

Settings settings;
int currentDepth = 16;
std::map<DisplayOp, std::deque<HRESULT>> failures;
std::vector<std::string> calls;
std::uint64_t flips = 0;
Frame shown;

std::string hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

bool injected(DisplayOp op, HRESULT *code) {
    auto it = failures.find(op);
    if (it == failures.end() || it->second.empty())
        return false;
    *code = it->second.front();
    it->second.pop_front();
    return true;
}

void masksFor(int depth, DWORD *r, DWORD *g, DWORD *b) {
    if (depth == 16) {
        *r = settings.red16, *g = settings.green16, *b = settings.blue16;
    } else {
        *r = 0xFF0000, *g = 0x00FF00, *b = 0x0000FF;
    }
}

enum class Kind { Primary, Back, Offscreen };

class Surface;
// The live surfaces, so that tests can mark them lost.
std::vector<Surface *> liveSurfaces;
void forget(Surface *s);

class Surface final : public IDirectDrawSurface {
  public:
    Surface(Kind kind, int depth) : kind(kind), depth(depth) {
        pitch = 640 * (depth / 8) + settings.pitchPadding;
        memory.assign(static_cast<std::size_t>(pitch) * 480, 0);
    }

    HRESULT Lock(RECT *rect, DDSURFACEDESC *desc, DWORD, void *) override {
        HRESULT code;
        if (kind == Kind::Back && injected(DisplayOp::LockBack, &code))
            return code;
        if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC))
            return DDERR_INVALIDPARAMS;
        if (rect != nullptr && (rect->left < 0 || rect->top < 0 || rect->right > 640 || rect->bottom > 480 ||
                                rect->left >= rect->right || rect->top >= rect->bottom))
            return DDERR_INVALIDPARAMS;
        if (lost)
            return DDERR_SURFACELOST;
        if (locked)
            return DDERR_SURFACEBUSY;
        locked = true;
        int left = rect != nullptr ? rect->left : 0;
        int top = rect != nullptr ? rect->top : 0;
        desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_LPSURFACE | DDSD_PIXELFORMAT;
        desc->dwWidth = 640;
        desc->dwHeight = 480;
        desc->lPitch = pitch;
        desc->lpSurface = memory.data() + static_cast<std::ptrdiff_t>(top) * pitch + left * (depth / 8);
        fillFormat(&desc->ddpfPixelFormat);
        return DD_OK;
    }

    HRESULT Unlock(void *) override {
        if (!locked)
            return DDERR_NOTLOCKED;
        locked = false;
        return DD_OK;
    }

    HRESULT Flip(IDirectDrawSurface *, DWORD) override {
        HRESULT code;
        if (injected(DisplayOp::FlipPrimary, &code))
            return code;
        if (kind != Kind::Primary || back == nullptr)
            return DDERR_INVALIDOBJECT;
        if (lost || back->lost)
            return DDERR_SURFACELOST;
        if (back->locked)
            return DDERR_SURFACEBUSY;
        memory.swap(back->memory);
        shown.pixels = memory;
        shown.depth = depth;
        shown.pitch = pitch;
        masksFor(depth, &shown.redMask, &shown.greenMask, &shown.blueMask);
        ++flips;
        onFlip();
        return DD_OK;
    }

    HRESULT Restore() override {
        HRESULT code;
        DisplayOp op = kind == Kind::Primary ? DisplayOp::RestorePrimary
                       : kind == Kind::Back  ? DisplayOp::RestoreBack
                                             : DisplayOp::RestoreOffscreen;
        calls.push_back(std::string("Restore ") + kindName());
        if (injected(op, &code))
            return code;
        lost = false;
        return DD_OK;
    }

    HRESULT GetAttachedSurface(DDSCAPS *caps, IDirectDrawSurface **surface) override {
        calls.push_back("GetAttachedSurface caps " + (caps != nullptr ? hex(caps->dwCaps) : std::string("none")));
        HRESULT code;
        if (injected(DisplayOp::GetAttachedSurface, &code))
            return code;
        if (caps == nullptr || surface == nullptr || back == nullptr || (caps->dwCaps & DDSCAPS_BACKBUFFER) == 0)
            return DDERR_INVALIDPARAMS;
        *surface = back.get();
        return DD_OK;
    }

    HRESULT GetPixelFormat(DDPIXELFORMAT *format) override {
        HRESULT code;
        if (injected(DisplayOp::GetPixelFormat, &code))
            return code;
        if (format == nullptr || format->dwSize != sizeof(DDPIXELFORMAT))
            return DDERR_INVALIDPARAMS;
        fillFormat(format);
        return DD_OK;
    }

    ULONG Release() override {
        // The back buffer belongs to the primary's chain and goes with it.
        calls.push_back(std::string("Release ") + kindName());
        if (kind == Kind::Back)
            return 1;
        forget(this);
        delete this;
        return 0;
    }

    const char *kindName() const {
        return kind == Kind::Primary ? "primary" : kind == Kind::Back ? "back" : "offscreen";
    }

    void fillFormat(DDPIXELFORMAT *format) const {
        format->dwFlags = DDPF_RGB;
        format->dwRGBBitCount = static_cast<DWORD>(depth);
        masksFor(depth, &format->dwRBitMask, &format->dwGBitMask, &format->dwBBitMask);
        format->dwRGBAlphaBitMask = 0;
    }

    Kind kind;
    int depth;
    int pitch = 0;
    bool locked = false;
    bool lost = false;
    std::vector<std::uint8_t> memory;
    std::unique_ptr<Surface> back;

  private:
    ~Surface() override = default;
    friend struct std::default_delete<Surface>;
};

void forget(Surface *s) {
    std::erase(liveSurfaces, s);
    if (s->back)
        std::erase(liveSurfaces, s->back.get());
}

class DirectDraw final : public IDirectDraw {
  public:
    HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override {
        calls.push_back("SetCooperativeLevel " + std::to_string(flags));
        HRESULT code;
        if (injected(DisplayOp::SetCooperativeLevel, &code))
            return code;
        return hwnd != nullptr ? DD_OK : DDERR_INVALIDPARAMS;
    }

    HRESULT GetCaps(DDCAPS *driver, DDCAPS *emulation) override {
        calls.emplace_back("GetCaps");
        HRESULT code;
        if (injected(DisplayOp::GetCaps, &code))
            return code;
        return answerEmptyCaps(driver, emulation);
    }

    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bpp) override {
        calls.push_back("SetDisplayMode " + std::to_string(width) + " " + std::to_string(height) + " " +
                        std::to_string(bpp));
        HRESULT code;
        if (injected(DisplayOp::SetDisplayMode, &code))
            return code;
        bool offered = false;
        for (int d : settings.depths)
            offered = offered || d == static_cast<int>(bpp);
        if (width != 640 || height != 480 || !offered)
            return DDERR_INVALIDMODE;
        currentDepth = static_cast<int>(bpp);
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
        if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != 0)
            call.append(" ").append(std::to_string(desc->dwWidth)).append("x").append(std::to_string(desc->dwHeight));
        calls.push_back(call);
        HRESULT code;
        if (injected(primary ? DisplayOp::CreatePrimary : DisplayOp::CreateOffscreen, &code))
            return code;
        auto *s = new Surface(primary ? Kind::Primary : Kind::Offscreen, currentDepth);
        liveSurfaces.push_back(s);
        if (primary && (desc->dwFlags & DDSD_BACKBUFFERCOUNT) != 0 && desc->dwBackBufferCount == 1) {
            s->back.reset(new Surface(Kind::Back, currentDepth));
            liveSurfaces.push_back(s->back.get());
        }
        *surface = s;
        return DD_OK;
    }

    ULONG Release() override {
        calls.emplace_back("Release");
        delete this;
        return 0;
    }
};

} // namespace

HRESULT createHeadlessDirectDraw(IDirectDraw **directDraw) {
    calls.emplace_back("DirectDrawCreate");
    HRESULT code;
    if (injected(DisplayOp::Create, &code))
        return code;
    currentDepth = settings.desktopDepth;
    *directDraw = new DirectDraw();
    return DD_OK;
}

void onFlip() {
    if (virtualClockInUse()) {
        advanceVirtualClock(virtualClockStep());
        advanceSound(virtualClockStep());
    }
}

void resetDisplayState() {
    settings = Settings{};
    currentDepth = settings.desktopDepth;
    failures.clear();
    calls.clear();
    flips = 0;
    shown = Frame{};
    liveSurfaces.clear();
}

void failDisplay(DisplayOp op, HRESULT code, int times) {
    for (int i = 0; i < times; ++i)
        failures[op].push_back(code);
}

void offerDepths(const std::vector<int> &depths) { settings.depths = depths; }
void setDesktopDepth(int depth) { settings.desktopDepth = depth; }
void setMasks16(DWORD red, DWORD green, DWORD blue) {
    settings.red16 = red, settings.green16 = green, settings.blue16 = blue;
}
void setPitchPadding(int bytes) { settings.pitchPadding = bytes; }

void loseSurfaces() {
    for (Surface *s : liveSurfaces)
        s->lost = true;
}

const std::vector<std::string> &displayCalls() { return calls; }
std::uint64_t flipCount() { return flips; }
const Frame &lastFrame() { return shown; }

std::vector<std::uint8_t> lastFrameRgb() {
    return frameToRgb(shown.pixels.empty() ? nullptr : shown.pixels.data(), shown.pitch, shown.depth, shown.redMask,
                      shown.greenMask, shown.blueMask);
}

bool writeShot(const std::string &path) { return writeRgbPng(path, lastFrameRgb(), 640, 480); }

} // namespace orbex::headless
