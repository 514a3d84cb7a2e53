// A bare SDL2 loop that does what the viewer's display does per frame and
// nothing else: lock a 640x480 streaming texture, write every pixel, unlock,
// copy it into a 640x480 window and present with vsync. Prints frames and
// CPU seconds, so the viewer's CPU use can be put beside it.
//   sdl_present_baseline [SECONDS] [--paced]
// --paced sleeps to the display's refresh rate where vsync does not wait
// (as on Xvfb), which is what a working vsync costs.
#include <SDL.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char **argv) {
    double seconds = 10;
    bool paced = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--paced") == 0)
            paced = true;
        else
            seconds = std::atof(argv[i]);
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "sdl_present_baseline: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window *window = SDL_CreateWindow("baseline", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640, 480, 0);
    SDL_Renderer *renderer = window != nullptr
                                 ? SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC)
                                 : nullptr;
    SDL_Texture *texture =
        renderer != nullptr ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_BGR24, SDL_TEXTUREACCESS_STREAMING, 640, 480)
                            : nullptr;
    if (texture == nullptr) {
        std::fprintf(stderr, "sdl_present_baseline: %s\n", SDL_GetError());
        return 1;
    }
    SDL_RendererInfo info{};
    SDL_GetRendererInfo(renderer, &info);
    SDL_DisplayMode mode{};
    int rate = SDL_GetCurrentDisplayMode(0, &mode) == 0 && mode.refresh_rate > 0 ? mode.refresh_rate : 60;
    Uint64 frequency = SDL_GetPerformanceFrequency();
    Uint64 start = SDL_GetPerformanceCounter();
    Uint64 last = start;
    double cpuStart = cpuSeconds();
    long frames = 0;
    bool running = true;
    while (running && static_cast<double>(SDL_GetPerformanceCounter() - start) / frequency < seconds) {
        SDL_Event event;
        while (SDL_PollEvent(&event))
            running = running && event.type != SDL_QUIT;
        void *pixels = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(texture, nullptr, &pixels, &pitch) == 0) {
            for (int y = 0; y < 480; ++y)
                std::memset(static_cast<std::uint8_t *>(pixels) + y * pitch, (frames + y) & 0xFF, 640 * 3);
            SDL_UnlockTexture(texture);
        }
        SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture, nullptr, nullptr);
        if (paced) {
            double elapsed = static_cast<double>(SDL_GetPerformanceCounter() - last) * 1000.0 / frequency;
            if (elapsed < 1000.0 / rate)
                SDL_Delay(static_cast<Uint32>(1000.0 / rate - elapsed + 0.5));
            last = SDL_GetPerformanceCounter();
        }
        SDL_RenderPresent(renderer);
        ++frames;
    }
    double wall = static_cast<double>(SDL_GetPerformanceCounter() - start) / frequency;
    double cpu = cpuSeconds() - cpuStart;
    std::printf("renderer %s%s, %ld frames in %.1f s (%.0f per second), CPU %.2f s (%.0f%% of a core)\n", info.name,
                (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0 ? " with vsync" : "", frames, wall, frames / wall, cpu,
                100.0 * cpu / wall);
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
