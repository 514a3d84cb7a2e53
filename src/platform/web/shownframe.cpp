#include "platform/web/shownframe.h"

#include <algorithm>
#include <cstring>

#ifdef __wasm_simd128__
#include <wasm_simd128.h>
#endif

#include "platform/web/orbex_web.h"

namespace orbex::web {

namespace {

// Whether two rows differ. Without an early exit, so that the loop is as
// wide as the machine allows: sixteen bytes a step where WebAssembly has
// SIMD (the browser build), eight elsewhere.
bool rowDiffers(const std::uint8_t *a, const std::uint8_t *b, std::size_t n) {
    std::size_t i = 0;
#ifdef __wasm_simd128__
    v128_t differ = wasm_i64x2_splat(0);
    for (; i + 64 <= n; i += 64) {
        const v128_t d0 = wasm_v128_xor(wasm_v128_load(a + i), wasm_v128_load(b + i));
        const v128_t d1 = wasm_v128_xor(wasm_v128_load(a + i + 16), wasm_v128_load(b + i + 16));
        const v128_t d2 = wasm_v128_xor(wasm_v128_load(a + i + 32), wasm_v128_load(b + i + 32));
        const v128_t d3 = wasm_v128_xor(wasm_v128_load(a + i + 48), wasm_v128_load(b + i + 48));
        differ = wasm_v128_or(differ, wasm_v128_or(wasm_v128_or(d0, d1), wasm_v128_or(d2, d3)));
    }
    if (wasm_v128_any_true(differ))
        return true;
#endif
    std::uint64_t rest = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        rest |= x ^ y;
    }
    for (; i < n; ++i)
        rest |= static_cast<std::uint64_t>(a[i] ^ b[i]);
    return rest != 0;
}

} // namespace

bool ShownFrame::sameLayout(const FrameView &frame) const {
    return !kept.empty() && frame.width == layout.width && frame.height == layout.height &&
           frame.pitch == layout.pitch && frame.depth == layout.depth && frame.redMask == layout.redMask &&
           frame.greenMask == layout.greenMask && frame.blueMask == layout.blueMask;
}

RowSpan ShownFrame::update(const FrameView &frame) {
    const bool drawable = frame.pixels != nullptr && frame.width > 0 && frame.height > 0 &&
                          (frame.depth == 16 || frame.depth == 24) && frame.pitch >= frame.width * (frame.depth / 8);
    RowSpan rows{0, frame.height - 1};
    shownRgba.resize(static_cast<std::size_t>(std::max(frame.width, 0)) * std::max(frame.height, 0) * 4);
    if (!drawable) {
        kept.clear();
        frameToRgba(frame, rows.first, rows.last, shownRgba.data());
        return rows;
    }
    const auto row = [&](int y) { return frame.pixels + static_cast<std::ptrdiff_t>(y) * frame.pitch; };
    const auto keptRow = [&](int y) { return kept.data() + static_cast<std::size_t>(y) * rowBytes; };
    if (sameLayout(frame)) {
        while (rows.first <= rows.last && !rowDiffers(row(rows.first), keptRow(rows.first), rowBytes))
            ++rows.first;
        if (rows.empty())
            return RowSpan{};
        while (rows.last > rows.first && !rowDiffers(row(rows.last), keptRow(rows.last), rowBytes))
            --rows.last;
    } else {
        layout = frame;
        layout.pixels = nullptr;
        rowBytes = static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.depth / 8);
        kept.assign(rowBytes * static_cast<std::size_t>(frame.height), 0);
    }
    for (int y = rows.first; y <= rows.last; ++y)
        std::memcpy(keptRow(y), row(y), rowBytes);
    frameToRgba(frame, rows.first, rows.last, shownRgba.data());
    return rows;
}

void presentChangedRows(ShownFrame &shown, const FrameView &frame) {
    const RowSpan rows = shown.update(frame);
    orbex_present(shown.rgba(), frame.width, frame.height, rows.first, rows.last);
}

} // namespace orbex::web
