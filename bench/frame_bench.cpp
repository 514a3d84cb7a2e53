// The viewer's per-frame work and its start-up conversions, on the headless
// backend. Every frame benchmark reports frames per second ("fps") and the
// operator new calls per frame ("allocs"), which must stay 0: a frame works
// only in fixed buffers.
//   orbex_bench [Google Benchmark flags]
//   orbex_bench --one-frame=24|16   one viewing frame of the worst-case page,
//                                   for valgrind --tool=callgrind
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "bench_magazine.h"
#include "display/update.h"
#include "picture/pcx.h"
#include "picture/pictures.h"
#include "picture/pixelformat.h"
#include "present/article.h"
#include "present/frame.h"
#include "shell/assets.h"
#include "text/archive.h"
#include "text/font.h"

namespace {

std::size_t nNewCalls = 0;

} // namespace

// Out of line, so that the compiler never pairs an inlined free with new.
[[gnu::noinline]] void *operator new(std::size_t size) {
    ++nNewCalls;
    void *p = std::malloc(size != 0 ? size : 1);
    if (p == nullptr)
        std::abort();
    return p;
}
[[gnu::noinline]] void *operator new[](std::size_t size) { return ::operator new(size); }
[[gnu::noinline]] void operator delete(void *p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void *p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void *p, std::size_t) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void *p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace orbex;
using benchmark::Counter;
using benchmark::State;

// A back buffer of 640x480 pixels of the depth, with padding bytes at the
// end of each row.
struct BackBuffer {
    explicit BackBuffer(int depth, int padding = 0)
        : pitch(640 * depth / 8 + padding), pixels(static_cast<std::size_t>(pitch) * 480) {}
    std::int32_t pitch;
    std::vector<std::uint8_t> pixels;
    // As drawFrame sees it once the viewer has set the depth.
    LockedFrame locked() { return {pixels.data(), pitch}; }
};

bool start(State &state, int depth, int padding = 0) {
    if (bench::startViewer(depth, padding))
        return true;
    state.SkipWithError("the headless viewer did not start");
    return false;
}

// Runs `frame` once per iteration; frames per second and allocations per frame.
template <typename Frame> void countFrames(State &state, Frame frame) {
    // Counted around each frame only, not around the benchmark's own work.
    std::size_t allocations = 0;
    for (auto _ : state) {
        const std::size_t before = nNewCalls;
        frame();
        allocations += nNewCalls - before;
        benchmark::ClobberMemory();
    }
    state.counters["fps"] = Counter(static_cast<double>(state.iterations()), Counter::kIsRate);
    state.counters["allocs"] = Counter(static_cast<double>(allocations), Counter::kAvgIterations);
}

void BM_DrawFrame(State &state, int depth, std::uint8_t mode, std::int32_t article, int padding) {
    if (!start(state, depth, padding))
        return;
    bench::showArticle(article);
    ViewerMode = mode;
    BackBuffer target(depth, padding);
    countFrames(state, [&] { drawFrame(target.locked()); });
}
BENCHMARK_CAPTURE(BM_DrawFrame, short_24, 24, MODE_VIEWING, bench::SHORT_ARTICLE, 0);
BENCHMARK_CAPTURE(BM_DrawFrame, short_16, 16, MODE_VIEWING, bench::SHORT_ARTICLE, 0);
BENCHMARK_CAPTURE(BM_DrawFrame, long_end_24, 24, MODE_VIEWING, bench::LONG_ARTICLE, 0);
BENCHMARK_CAPTURE(BM_DrawFrame, long_end_16, 16, MODE_VIEWING, bench::LONG_ARTICLE, 0);
BENCHMARK_CAPTURE(BM_DrawFrame, long_end_24_padded, 24, MODE_VIEWING, bench::LONG_ARTICLE, 64);
BENCHMARK_CAPTURE(BM_DrawFrame, long_end_16_padded, 16, MODE_VIEWING, bench::LONG_ARTICLE, 64);
BENCHMARK_CAPTURE(BM_DrawFrame, intro_24, 24, MODE_INTRO, bench::SHORT_ARTICLE, 0);
BENCHMARK_CAPTURE(BM_DrawFrame, intro_16, 16, MODE_INTRO, bench::SHORT_ARTICLE, 0);
BENCHMARK_CAPTURE(BM_DrawFrame, outro_24, 24, MODE_OUTRO, bench::SHORT_ARTICLE, 0);
BENCHMARK_CAPTURE(BM_DrawFrame, outro_16, 16, MODE_OUTRO, bench::SHORT_ARTICLE, 0);

// The yardstick of the frame goals: one plain copy of a whole frame of the
// depth, as the background copy is when the pitch is the row length.
void BM_CopyFrame(State &state, int depth) {
    if (!start(state, depth))
        return;
    BackBuffer target(depth);
    countFrames(state, [&] { std::memcpy(target.pixels.data(), picBackground.data(), target.pixels.size()); });
}
BENCHMARK_CAPTURE(BM_CopyFrame, 24, 24);
BENCHMARK_CAPTURE(BM_CopyFrame, 16, 16);

// The layout pass alone.
void BM_DrawArticle(State &state, int depth, std::int32_t article) {
    if (!start(state, depth))
        return;
    bench::showArticle(article);
    BackBuffer target(depth);
    countFrames(state, [&] { drawArticle(target.locked()); });
}
BENCHMARK_CAPTURE(BM_DrawArticle, short_24, 24, bench::SHORT_ARTICLE);
BENCHMARK_CAPTURE(BM_DrawArticle, long_end_24, 24, bench::LONG_ARTICLE);
BENCHMARK_CAPTURE(BM_DrawArticle, long_end_16, 16, bench::LONG_ARTICLE);

void BM_DrawGlyph(State &state, int depth) {
    if (!start(state, depth))
        return;
    BackBuffer target(depth);
    std::uint8_t code = 0;
    for (auto _ : state) {
        drawGlyph(static_cast<std::uint8_t>('A' + code % 26), 320, 240, target.locked(), 80, 200, 255);
        ++code;
        benchmark::ClobberMemory();
    }
}
BENCHMARK_CAPTURE(BM_DrawGlyph, 24, 24);
BENCHMARK_CAPTURE(BM_DrawGlyph, 16, 16);

void BM_PackColour(State &state) {
    if (!start(state, 16))
        return;
    std::uint8_t v = 0;
    for (auto _ : state) {
        packColour(v, static_cast<std::uint8_t>(v + 85), static_cast<std::uint8_t>(v + 170));
        benchmark::DoNotOptimize(bPackedLow);
        benchmark::DoNotOptimize(bPackedHigh);
        ++v;
    }
}
BENCHMARK(BM_PackColour);

// Picture set-up as at start: reading the start, end, background and pointer
// pictures and the font, and at 16 bits packing every picture.
void BM_InitAssets(State &state, int depth) {
    if (!start(state, depth))
        return;
    for (auto _ : state)
        initAssets(nullptr);
    state.counters["pictures/s"] = Counter(static_cast<double>(state.iterations()), Counter::kIsRate);
}
BENCHMARK_CAPTURE(BM_InitAssets, 24, 24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_InitAssets, 16, 16)->Unit(benchmark::kMillisecond);

void BM_SelectLastArticle(State &state) {
    if (!start(state, 24))
        return;
    for (auto _ : state)
        selectArticle(bench::nLastArticle);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(ARCHIVE_SIZE));
}
BENCHMARK(BM_SelectLastArticle)->Unit(benchmark::kMicrosecond);

void BM_ReadPcx(State &state, const char *name) {
    if (!start(state, 24))
        return;
    for (auto _ : state)
        readPcx(name, PCX_READ_PALETTE, 0, 0);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(picPcx.size()));
}
BENCHMARK_CAPTURE(BM_ReadPcx, background, "data/BG_8b.pcx")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadPcx, noise, "data/noise.pcx")->Unit(benchmark::kMillisecond);

// Lock, draw, unlock, flip on the headless display, whose flip also keeps a
// copy of the frame for tests.
void BM_UpdateFrame(State &state, int depth) {
    if (!start(state, depth))
        return;
    bench::showArticle(bench::LONG_ARTICLE);
    // The backend's record of the last frame is allocated at the first flip.
    updateFrame();
    countFrames(state, [] { updateFrame(); });
}
BENCHMARK_CAPTURE(BM_UpdateFrame, long_end_24, 24);
BENCHMARK_CAPTURE(BM_UpdateFrame, long_end_16, 16);

// Kept out of line so that callgrind can collect exactly this call.
[[gnu::noinline]] void measuredFrame(BackBuffer &target) { drawFrame(target.locked()); }

int oneFrame(int depth) {
    if (!bench::startViewer(depth))
        return 1;
    bench::showArticle(bench::LONG_ARTICLE);
    BackBuffer target(depth);
    drawFrame(target.locked());
    std::size_t before = nNewCalls;
    measuredFrame(target);
    std::printf("one viewing frame at %d bits: %zu operator new calls\n", depth, nNewCalls - before);
    return nNewCalls == before ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    if (!bench::prepareMagazine(ORBEX_SAMPLE_MAGAZINE))
        return 1;
    int result = 0;
    if (argc == 2 && std::strncmp(argv[1], "--one-frame=", 12) == 0) {
        result = oneFrame(std::atoi(argv[1] + 12));
    } else {
        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv))
            result = 1;
        else
            benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    bench::removeMagazine();
    return result;
}
