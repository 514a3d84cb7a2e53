// The worst viewing frame of frame_bench.cpp (article 3 scrolled to its end,
// the pointer over a link) timed in the browser build: drawFrame alone, and
// the page's work to show the frame (orbex_present: conversion to the
// canvas). Built by web/build.sh with ORBEX_WEB_PROGRAM=orbex-frame-timing
// and run once in Chromium by web/test/run-site.mjs; the results are console
// lines (bench/README.md).
#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_magazine.h"
#include "orbex_web.h"
#include "present/frame.h"

namespace {

using namespace orbex;

constexpr int BATCHES = 9;
constexpr int FRAMES_PER_BATCH = 100;

// The median over batches of the mean time of one call, in microseconds: the
// browser's clock is too coarse for a single frame.
template <typename Work> double medianMicroseconds(Work work) {
    std::vector<double> means;
    for (int b = 0; b < BATCHES; ++b) {
        const double start = emscripten_get_now();
        for (int i = 0; i < FRAMES_PER_BATCH; ++i)
            work();
        means.push_back((emscripten_get_now() - start) * 1000.0 / FRAMES_PER_BATCH);
    }
    std::sort(means.begin(), means.end());
    return means[means.size() / 2];
}

int timeDepth(int depth) {
    if (!bench::startViewer(depth)) {
        std::printf("frame-timing: the viewer did not start at %d bits\n", depth);
        return 1;
    }
    bench::showArticle(bench::LONG_ARTICLE);
    const int pitch = 640 * depth / 8;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(pitch) * 480);
    drawFrame(LockedFrame(pixels.data(), pitch));
    const double draw = medianMicroseconds([&] { drawFrame(LockedFrame(pixels.data(), pitch)); });
    const double present =
        medianMicroseconds([&] { orbex_present(pixels.data(), pitch, depth, 0xF800, 0x07E0, 0x001F); });
    std::printf("frame-timing: long_end_%d drawFrame %.1f us, present %.1f us\n", depth, draw, present);
    return 0;
}

} // namespace

int main() {
    if (!bench::prepareMagazine("/magazine"))
        std::exit(1);
    int result = timeDepth(24) | timeDepth(16);
    bench::removeMagazine();
    std::exit(result);
}
