// The display of the SDL2 backend: the back buffer is a streaming texture the
// viewer locks as pixel memory, the flip draws it scaled into the window.
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/png.h"
#include "platform/sdl/internal.h"

namespace orbex::sdl {

namespace {

constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;
// Milliseconds a flip may come early when the renderer waits for the
// vertical blank itself; it then does the rest of the waiting.
constexpr double VSYNC_SLACK_MS = 2.0;

// The depth of the "desktop" until the viewer sets a mode.
int currentDepth = 16;

// The last frame the viewer unlocked, and the last one shown, for Print
// Screen; rows packed at 640 pixels.
struct CpuFrame {
    std::vector<std::uint8_t> pixels;
    int depth = 0;
};
CpuFrame drawn;
CpuFrame shown;

// When the last flip was presented, in performance-counter ticks.
Uint64 lastPresent = 0;

void masksFor(int depth, DWORD *r, DWORD *g, DWORD *b) {
    if (depth == 16) {
        *r = 0xF800, *g = 0x07E0, *b = 0x001F;
    } else {
        *r = 0xFF0000, *g = 0x00FF00, *b = 0x0000FF;
    }
}

double refreshIntervalMs() {
    SDL_DisplayMode mode{};
    int display = pWindow != nullptr ? SDL_GetWindowDisplayIndex(pWindow) : 0;
    int rate = 60;
    if (SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) == 0 && mode.refresh_rate > 0)
        rate = mode.refresh_rate;
    return 1000.0 / rate;
}

bool rendererWaitsForVsync() {
    SDL_RendererInfo info{};
    return pRenderer != nullptr && SDL_GetRendererInfo(pRenderer, &info) == 0 &&
           (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
}

// Keeps flips at most one refresh interval apart, so that a display without
// vsync (or one that ignores it) does not make the viewer spin a core.
void waitForRefresh() {
    double interval = refreshIntervalMs();
    if (rendererWaitsForVsync())
        interval -= VSYNC_SLACK_MS;
    Uint64 frequency = SDL_GetPerformanceFrequency();
    if (lastPresent != 0) {
        double elapsed = static_cast<double>(SDL_GetPerformanceCounter() - lastPresent) * 1000.0 / frequency;
        if (elapsed < interval)
            SDL_Delay(static_cast<Uint32>(interval - elapsed + 0.5));
    }
    lastPresent = SDL_GetPerformanceCounter();
}

enum class Kind { Primary, Back, Offscreen };

class Surface;
std::vector<Surface *> liveSurfaces;

class Surface final : public IDirectDrawSurface {
  public:
    Surface(Kind kind, int depth) : kind(kind), depth(depth) {
        if (kind == Kind::Offscreen)
            memory.assign(static_cast<std::size_t>(WIDTH) * (depth / 8) * HEIGHT, 0);
        liveSurfaces.push_back(this);
    }

    // The texture of a back buffer; false when the renderer cannot make one.
    bool makeTexture() {
        dropTexture();
        if (pRenderer == nullptr)
            return false;
        Uint32 format = depth == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_BGR24;
        texture = SDL_CreateTexture(pRenderer, format, SDL_TEXTUREACCESS_STREAMING, WIDTH, HEIGHT);
        return texture != nullptr;
    }

    void dropTexture() {
        if (texture != nullptr)
            SDL_DestroyTexture(texture);
        texture = nullptr;
        locked = nullptr;
    }

    HRESULT Lock(RECT *rect, DDSURFACEDESC *desc, DWORD, void *) override {
        if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC))
            return DDERR_INVALIDPARAMS;
        if (rect != nullptr && (rect->left < 0 || rect->top < 0 || rect->right > WIDTH || rect->bottom > HEIGHT ||
                                rect->left >= rect->right || rect->top >= rect->bottom))
            return DDERR_INVALIDPARAMS;
        if (kind == Kind::Primary)
            return DDERR_UNSUPPORTED;
        if (lost)
            return DDERR_SURFACELOST;
        if (locked != nullptr)
            return DDERR_SURFACEBUSY;
        int pitch = WIDTH * (depth / 8);
        if (kind == Kind::Back) {
            void *pixels = nullptr;
            if (texture == nullptr)
                return DDERR_SURFACELOST;
            if (SDL_LockTexture(texture, nullptr, &pixels, &pitch) != 0)
                return DDERR_GENERIC;
            locked = static_cast<std::uint8_t *>(pixels);
        } else {
            locked = memory.data();
        }
        lockedPitch = pitch;
        int left = rect != nullptr ? rect->left : 0;
        int top = rect != nullptr ? rect->top : 0;
        desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_LPSURFACE | DDSD_PIXELFORMAT;
        desc->dwWidth = WIDTH;
        desc->dwHeight = HEIGHT;
        desc->lPitch = pitch;
        desc->lpSurface = locked + static_cast<std::ptrdiff_t>(top) * pitch + left * (depth / 8);
        fillFormat(&desc->ddpfPixelFormat);
        return DD_OK;
    }

    HRESULT Unlock(void *) override {
        if (locked == nullptr)
            return DDERR_NOTLOCKED;
        if (kind == Kind::Back) {
            // Texture memory cannot be read back later; Print Screen needs
            // the frame, so keep a copy while it is at hand.
            std::size_t row = static_cast<std::size_t>(WIDTH) * (depth / 8);
            drawn.pixels.resize(row * HEIGHT);
            drawn.depth = depth;
            for (int y = 0; y < HEIGHT; ++y)
                std::memcpy(drawn.pixels.data() + y * row, locked + static_cast<std::ptrdiff_t>(y) * lockedPitch, row);
            SDL_UnlockTexture(texture);
        }
        locked = nullptr;
        return DD_OK;
    }

    HRESULT Flip(IDirectDrawSurface *, DWORD) override {
        if (kind != Kind::Primary || back == nullptr)
            return DDERR_INVALIDOBJECT;
        if (lost || back->lost || back->texture == nullptr)
            return DDERR_SURFACELOST;
        if (back->locked != nullptr)
            return DDERR_SURFACEBUSY;
        SDL_SetRenderDrawColor(pRenderer, 0, 0, 0, 255);
        SDL_RenderClear(pRenderer);
        SDL_RenderCopy(pRenderer, back->texture, nullptr, nullptr);
        waitForRefresh();
        SDL_RenderPresent(pRenderer);
        // The next Unlock overwrites the whole of drawn; keeping its memory
        // spares a clear of the frame every flip.
        std::swap(shown, drawn);
        return DD_OK;
    }

    HRESULT Restore() override {
        if (kind == Kind::Back && (lost || texture == nullptr) && !makeTexture())
            return DDERR_SURFACELOST;
        lost = false;
        return DD_OK;
    }

    HRESULT GetAttachedSurface(DDSCAPS *caps, IDirectDrawSurface **surface) override {
        if (caps == nullptr || surface == nullptr || back == nullptr || (caps->dwCaps & DDSCAPS_BACKBUFFER) == 0)
            return DDERR_INVALIDPARAMS;
        *surface = back.get();
        return DD_OK;
    }

    HRESULT GetPixelFormat(DDPIXELFORMAT *format) override {
        if (format == nullptr || format->dwSize != sizeof(DDPIXELFORMAT))
            return DDERR_INVALIDPARAMS;
        fillFormat(format);
        return DD_OK;
    }

    ULONG Release() override {
        // The back buffer belongs to the primary's chain and goes with it.
        if (kind == Kind::Back)
            return 1;
        delete this;
        return 0;
    }

    void fillFormat(DDPIXELFORMAT *format) const {
        format->dwFlags = DDPF_RGB;
        format->dwRGBBitCount = static_cast<DWORD>(depth);
        masksFor(depth, &format->dwRBitMask, &format->dwGBitMask, &format->dwBBitMask);
        format->dwRGBAlphaBitMask = 0;
    }

    Kind kind;
    int depth;
    bool lost = false;
    SDL_Texture *texture = nullptr;
    std::uint8_t *locked = nullptr;
    int lockedPitch = 0;
    std::vector<std::uint8_t> memory;
    std::unique_ptr<Surface> back;

  private:
    ~Surface() override {
        dropTexture();
        std::erase(liveSurfaces, this);
    }
    friend struct std::default_delete<Surface>;
};

class DirectDraw final : public IDirectDraw {
  public:
    HRESULT SetCooperativeLevel(HWND hwnd, DWORD) override { return hwnd != nullptr ? DD_OK : DDERR_INVALIDPARAMS; }

    HRESULT GetCaps(DDCAPS *driver, DDCAPS *emulation) override { return answerEmptyCaps(driver, emulation); }

    // The window shows any depth; these are the two the textures are made in.
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bpp) override {
        if (width != WIDTH || height != HEIGHT || (bpp != 16 && bpp != 24))
            return DDERR_INVALIDMODE;
        currentDepth = static_cast<int>(bpp);
        return DD_OK;
    }

    HRESULT CreateSurface(DDSURFACEDESC *desc, IDirectDrawSurface **surface, void *) override {
        if (desc == nullptr || surface == nullptr || desc->dwSize != sizeof(DDSURFACEDESC))
            return DDERR_INVALIDPARAMS;
        bool primary = (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0;
        if (primary && pRenderer == nullptr)
            return DDERR_NOEXCLUSIVEMODE;
        auto *s = new Surface(primary ? Kind::Primary : Kind::Offscreen, currentDepth);
        if (primary && (desc->dwFlags & DDSD_BACKBUFFERCOUNT) != 0 && desc->dwBackBufferCount == 1) {
            s->back.reset(new Surface(Kind::Back, currentDepth));
            if (!s->back->makeTexture()) {
                s->Release();
                return DDERR_OUTOFMEMORY;
            }
        }
        *surface = s;
        return DD_OK;
    }

    ULONG Release() override {
        delete this;
        return 0;
    }
};

} // namespace

HRESULT createSdlDirectDraw(IDirectDraw **directDraw) {
    if (directDraw == nullptr)
        return DDERR_INVALIDPARAMS;
    currentDepth = 16;
    *directDraw = new DirectDraw();
    return DD_OK;
}

void loseSurfaces() {
    for (Surface *s : liveSurfaces)
        s->lost = true;
}

void presentAgain() {
    if (pRenderer == nullptr)
        return;
    SDL_SetRenderDrawColor(pRenderer, 0, 0, 0, 255);
    SDL_RenderClear(pRenderer);
    for (Surface *s : liveSurfaces)
        if (s->kind == Kind::Back && !s->lost && s->texture != nullptr && s->locked == nullptr)
            SDL_RenderCopy(pRenderer, s->texture, nullptr, nullptr);
    SDL_RenderPresent(pRenderer);
}

void saveScreenshot() {
    if (shown.pixels.empty())
        return;
    DWORD r, g, b;
    masksFor(shown.depth, &r, &g, &b);
    std::string name = freeShotName(".");
    auto rgb = frameToRgb(shown.pixels.data(), WIDTH * (shown.depth / 8), shown.depth, r, g, b);
    if (!writeRgbPng(name, rgb, WIDTH, HEIGHT))
        std::fprintf(stderr, "orbex: cannot write %s\n", name.c_str());
}

void forgetTextures() {
    for (Surface *s : liveSurfaces) {
        s->dropTexture();
        s->lost = true;
    }
}

void resetDisplay() {
    currentDepth = 16;
    drawn = CpuFrame{};
    shown = CpuFrame{};
    lastPresent = 0;
}

} // namespace orbex::sdl
