// The worst viewing frame of frame_bench.cpp (article 3 scrolled to its end,
// the pointer over a link) timed in the browser build: drawFrame alone, and
// the work to show the frame (the backend's comparison with the frame shown
// last, and orbex_present: conversion of the rows that changed to the
// canvas). Built by web/build.sh with ORBEX_WEB_PROGRAM=orbex-frame-timing
// and run once in Chromium by web/test/run-site.mjs; the results are console
// lines (bench/README.md).
#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_magazine.h"
#include "platform/web/orbex_web.h"
#include "platform/web/shownframe.h"
#include "present/frame.h"
#include "text/archive.h"

namespace {

using namespace orbex;

constexpr int BATCHES = 60;
constexpr int FRAMES_PER_BATCH = 50;
constexpr double WARM_UP_MS = 1500.0;

struct Timing {
    double quickest;
    double mean;
};

// The mean time of one call, in microseconds, in the quickest of the batches
// (on a shared machine other work only ever adds time) and over all of them
// (Chromium's CPU throttling pauses the page in slices, between which a
// short batch may run at full speed). The browser's clock is too coarse for
// a single frame.
template <typename Work> Timing timeBatches(Work work) {
    // The browser compiles hot code again, optimised, after a while (in the
    // background, so longer on a busy machine): the batches time that code.
    const double warmUntil = emscripten_get_now() + WARM_UP_MS;
    while (emscripten_get_now() < warmUntil)
        work();
    std::vector<double> means;
    const double first = emscripten_get_now();
    for (int b = 0; b < BATCHES; ++b) {
        const double start = emscripten_get_now();
        for (int i = 0; i < FRAMES_PER_BATCH; ++i)
            work();
        means.push_back((emscripten_get_now() - start) * 1000.0 / FRAMES_PER_BATCH);
    }
    const double all = (emscripten_get_now() - first) * 1000.0 / (BATCHES * FRAMES_PER_BATCH);
    return {*std::min_element(means.begin(), means.end()), all};
}

int timeDepth(int depth) {
    if (!bench::startViewer(depth)) {
        std::printf("frame-timing: the viewer did not start at %d bits\n", depth);
        return 1;
    }
    bench::showArticle(bench::LONG_ARTICLE);
    const float end = ScrollPosition;
    const int pitch = 640 * depth / 8;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(pitch) * 480);
    std::vector<std::uint8_t> lineUp(pixels.size());
    // As the backend's flip: the rows that differ from the frame shown last.
    web::ShownFrame shown;
    auto present = [&](std::vector<std::uint8_t> &frame) {
        FrameView view;
        view.pixels = frame.data();
        view.width = 640;
        view.height = 480;
        view.pitch = pitch;
        view.depth = depth;
        if (depth == 16) {
            view.redMask = 0xF800;
            view.greenMask = 0x07E0;
            view.blueMask = 0x001F;
        }
        web::presentChangedRows(shown, view);
    };
    // The same page one line further up: a frame that differs in most rows.
    ScrollPosition = end - 1.0f;
    drawFrame(LockedFrame(lineUp.data(), pitch));
    ScrollPosition = end;
    drawFrame(LockedFrame(pixels.data(), pitch));
    present(pixels);

    const Timing draw = timeBatches([&] { drawFrame(LockedFrame(pixels.data(), pitch)); });
    const Timing unchanged = timeBatches([&] { present(pixels); });
    bool flip = false;
    const Timing changed = timeBatches([&] {
        flip = !flip;
        present(flip ? lineUp : pixels);
    });
    // As the page is read: the viewer draws the same frame again and again.
    const Timing reading = timeBatches([&] {
        drawFrame(LockedFrame(pixels.data(), pitch));
        present(pixels);
    });
    // Scrolling by a line every frame: every frame is uploaded.
    const Timing scrolling = timeBatches([&] {
        flip = !flip;
        ScrollPosition = flip ? end - 1.0f : end;
        drawFrame(LockedFrame(pixels.data(), pitch));
        present(pixels);
    });
    const Timing timings[] = {draw, unchanged, changed, reading, scrolling};
    for (bool quickest : {true, false}) {
        double us[5];
        for (int i = 0; i < 5; ++i)
            us[i] = quickest ? timings[i].quickest : timings[i].mean;
        std::printf("frame-timing: long_end_%d%s drawFrame %.1f us, present %.1f us unchanged, %.1f us changed; "
                    "draw+present %.1f us reading, %.1f us scrolling\n",
                    depth, quickest ? "" : " mean", us[0], us[1], us[2], us[3], us[4]);
    }
    return 0;
}

} // namespace

int main() {
    // The page starts the program before the magazine is all in.
    for (const char *name : {"chars.168", "begin.raw", "ende.pcx", "BG_8b.pcx", "cursor.pcx"})
        orbex_wait_file((std::string("/magazine/data/") + name).c_str());
    if (!bench::prepareMagazine("/magazine"))
        std::exit(1);
    int result = timeDepth(24) | timeDepth(16);
    bench::removeMagazine();
    std::exit(result);
}
