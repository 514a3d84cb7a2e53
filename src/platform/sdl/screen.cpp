// The screen of the SDL2 backend: each flipped frame goes into a streaming
// texture, drawn scaled into the window and presented with vsync.
#include "common/geometry.h"
#include "platform/sdl/internal.h"

namespace orbex::sdl {

namespace {

// Milliseconds a flip may come early when the renderer waits for the
// vertical blank itself; it then does the rest of the waiting.
constexpr double VSYNC_SLACK_MS = 2.0;

double refreshIntervalMs(SDL_Window *window) {
    SDL_DisplayMode mode{};
    int display = window != nullptr ? SDL_GetWindowDisplayIndex(window) : 0;
    int rate = 60;
    if (SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) == 0 && mode.refresh_rate > 0)
        rate = mode.refresh_rate;
    return 1000.0 / rate;
}

bool waitsForVsync(SDL_Renderer *renderer) {
    SDL_RendererInfo info{};
    return renderer != nullptr && SDL_GetRendererInfo(renderer, &info) == 0 &&
           (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
}

} // namespace

// Keeps flips at most one refresh interval apart, so that a display without
// vsync (or one that ignores it) does not make the viewer spin a core.
void SdlBackend::waitForRefresh() {
    double interval = refreshIntervalMs(window.get());
    if (waitsForVsync(renderer.get()))
        interval -= VSYNC_SLACK_MS;
    Uint64 frequency = SDL_GetPerformanceFrequency();
    if (lastPresent != 0) {
        double elapsed = static_cast<double>(SDL_GetPerformanceCounter() - lastPresent) * 1000.0 / frequency;
        if (elapsed < interval)
            SDL_Delay(static_cast<Uint32>(interval - elapsed + 0.5));
    }
    lastPresent = SDL_GetPerformanceCounter();
}

void SdlBackend::drawTexture() {
    SDL_SetRenderDrawColor(renderer.get(), 0, 0, 0, 255);
    SDL_RenderClear(renderer.get());
    if (texture != nullptr)
        SDL_RenderCopy(renderer.get(), texture.get(), nullptr, nullptr);
}

// The texture that shows the frames, made when the viewer makes its flipping
// chain and again after a renderer reset; false when the renderer cannot.
bool SdlBackend::openTexture(int depth) {
    texture.reset();
    if (renderer == nullptr)
        return false;
    Uint32 format = depth == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_BGR24;
    texture.reset(SDL_CreateTexture(renderer.get(), format, SDL_TEXTUREACCESS_STREAMING, SCREENWIDTH, SCREENHEIGHT));
    textureDepth = depth;
    return texture != nullptr;
}

bool SdlBackend::openFrames(int width, int height, int depth) {
    return width == SCREENWIDTH && height == SCREENHEIGHT && openTexture(depth);
}

bool SdlBackend::restoreFrames() { return openTexture(textureDepth); }

void SdlBackend::closeFrames() {
    if (displayGone())
        (void)texture.release(); // destroying it would draw on the dead display
    texture.reset();
}

void SdlBackend::presentFrame(const FrameView &frame) {
    if (renderer == nullptr || texture == nullptr)
        return;
    SDL_UpdateTexture(texture.get(), nullptr, frame.pixels, frame.pitch);
    drawTexture();
    waitForRefresh();
    SDL_RenderPresent(renderer.get());
}

void SdlBackend::presentAgain() {
    if (renderer == nullptr)
        return;
    drawTexture();
    SDL_RenderPresent(renderer.get());
}

} // namespace orbex::sdl
