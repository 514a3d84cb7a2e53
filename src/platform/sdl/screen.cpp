// The screen of the SDL2 backend: each flipped frame goes into a streaming
// texture, drawn scaled into the window and presented with vsync.
#include <cstdio>
#include <string>

#include "common/geometry.h"
#include "platform/display.h"
#include "platform/places.h"
#include "platform/png.h"
#include "platform/sdl/internal.h"

namespace orbex::sdl {

namespace {

// Milliseconds a flip may come early when the renderer waits for the
// vertical blank itself; it then does the rest of the waiting.
constexpr double VSYNC_SLACK_MS = 2.0;

struct Screen {
    SdlPtr<SDL_Texture> texture;
    int depth = 0;
    // When the last flip was presented, in performance-counter ticks.
    Uint64 lastPresent = 0;
};

Screen screen;

double refreshIntervalMs() {
    SDL_DisplayMode mode{};
    int display = pWindow != nullptr ? SDL_GetWindowDisplayIndex(pWindow.get()) : 0;
    int rate = 60;
    if (SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) == 0 && mode.refresh_rate > 0)
        rate = mode.refresh_rate;
    return 1000.0 / rate;
}

bool rendererWaitsForVsync() {
    SDL_RendererInfo info{};
    return pRenderer != nullptr && SDL_GetRendererInfo(pRenderer.get(), &info) == 0 &&
           (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
}

// Keeps flips at most one refresh interval apart, so that a display without
// vsync (or one that ignores it) does not make the viewer spin a core.
void waitForRefresh() {
    double interval = refreshIntervalMs();
    if (rendererWaitsForVsync())
        interval -= VSYNC_SLACK_MS;
    Uint64 frequency = SDL_GetPerformanceFrequency();
    if (screen.lastPresent != 0) {
        double elapsed = static_cast<double>(SDL_GetPerformanceCounter() - screen.lastPresent) * 1000.0 / frequency;
        if (elapsed < interval)
            SDL_Delay(static_cast<Uint32>(interval - elapsed + 0.5));
    }
    screen.lastPresent = SDL_GetPerformanceCounter();
}

void drawTexture() {
    SDL_SetRenderDrawColor(pRenderer.get(), 0, 0, 0, 255);
    SDL_RenderClear(pRenderer.get());
    if (screen.texture != nullptr)
        SDL_RenderCopy(pRenderer.get(), screen.texture.get(), nullptr, nullptr);
}

} // namespace

bool openTexture(int depth) {
    dropTexture();
    if (pRenderer == nullptr)
        return false;
    Uint32 format = depth == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_BGR24;
    screen.texture.reset(
        SDL_CreateTexture(pRenderer.get(), format, SDL_TEXTUREACCESS_STREAMING, SCREENWIDTH, SCREENHEIGHT));
    screen.depth = depth;
    return screen.texture != nullptr;
}

bool restoreTexture() { return openTexture(screen.depth); }

void dropTexture() { screen.texture.reset(); }

void presentTexture(const FrameView &frame) {
    if (pRenderer == nullptr || screen.texture == nullptr)
        return;
    SDL_UpdateTexture(screen.texture.get(), nullptr, frame.pixels, frame.pitch);
    drawTexture();
    waitForRefresh();
    SDL_RenderPresent(pRenderer.get());
}

void presentAgain() {
    if (pRenderer == nullptr)
        return;
    drawTexture();
    SDL_RenderPresent(pRenderer.get());
}

void saveScreenshot() {
    const FrameView *frame = shownFrame();
    if (frame == nullptr)
        return;
    std::string name;
    std::string why;
    if (!writeNewShot(shotsFolder(), frameToRgb(*frame), frame->width, frame->height, &name, &why))
        std::fprintf(stderr, "orbex: cannot write %s: %s\n", name.c_str(), why.c_str());
}

void resetScreen() { screen = Screen{}; }

} // namespace orbex::sdl
