#include "common/frameview.h"

#include <bit>
#include <cstddef>
#include <cstring>

#ifdef __wasm_simd128__
#include <wasm_simd128.h>
#endif

namespace orbex {

namespace {

// A channel of a 16-bit pixel widened to 8 bits, whatever its width.
std::uint8_t expandChannel(std::uint32_t word, DWORD mask) {
    if (mask == 0)
        return 0;
    int shift = std::countr_zero(mask);
    std::uint32_t max = mask >> shift;
    std::uint32_t value = (word & mask) >> shift;
    return static_cast<std::uint8_t>((value * 255 + max / 2) / max);
}

bool fitsRow(const FrameView &frame) {
    return frame.pixels != nullptr && (frame.depth == 16 || frame.depth == 24) &&
           frame.pitch >= frame.width * (frame.depth / 8);
}

// The channels of a 16-bit pixel widened, as frameToRgb does, one pixel at
// a time.
struct Widen16 {
    DWORD red, green, blue;
    void pixel(const std::uint8_t *in, std::uint8_t *out) const {
        const std::uint32_t word = in[0] | (in[1] << 8);
        out[0] = expandChannel(word, red);
        out[1] = expandChannel(word, green);
        out[2] = expandChannel(word, blue);
        out[3] = 255;
    }
};

#ifdef __wasm_simd128__
// Eight 16-bit pixels' channel: ((word >> shift) & max) widened.
v128_t widen8(v128_t words, DWORD mask, const ChannelWidening &w) {
    const int shift = std::countr_zero(mask);
    const v128_t value = wasm_v128_and(wasm_u16x8_shr(words, static_cast<std::uint32_t>(shift)),
                                       wasm_i16x8_splat(static_cast<std::int16_t>(mask >> shift)));
    const v128_t scaled =
        wasm_i16x8_add(wasm_i16x8_mul(value, wasm_i16x8_splat(static_cast<std::int16_t>(w.multiplier))),
                       wasm_i16x8_splat(static_cast<std::int16_t>(w.add)));
    return wasm_u16x8_shr(scaled, w.shift);
}

// A row of 16-bit pixels, eight at a time; returns how many it did.
int row16(const std::uint8_t *in, std::uint8_t *out, int width, const FrameView &frame, const ChannelWidening *w) {
    int x = 0;
    const v128_t alpha = wasm_i16x8_splat(255);
    for (; x + 8 <= width; x += 8) {
        const v128_t words = wasm_v128_load(in + 2 * x);
        const v128_t rg =
            wasm_u8x16_narrow_i16x8(widen8(words, frame.redMask, w[0]), widen8(words, frame.greenMask, w[1]));
        const v128_t ba = wasm_u8x16_narrow_i16x8(widen8(words, frame.blueMask, w[2]), alpha);
        wasm_v128_store(out + 4 * x,
                        wasm_i8x16_shuffle(rg, ba, 0, 8, 16, 24, 1, 9, 17, 25, 2, 10, 18, 26, 3, 11, 19, 27));
        wasm_v128_store(out + 4 * x + 16,
                        wasm_i8x16_shuffle(rg, ba, 4, 12, 20, 28, 5, 13, 21, 29, 6, 14, 22, 30, 7, 15, 23, 31));
    }
    return x;
}

// A row of blue, green, red pixels, four at a time, as long as sixteen bytes
// can be read; returns how many it did.
int row24(const std::uint8_t *in, std::uint8_t *out, int width) {
    int x = 0;
    const v128_t alpha = wasm_i32x4_splat(static_cast<std::int32_t>(0xFF000000u));
    const v128_t order = wasm_i8x16_make(2, 1, 0, 16, 5, 4, 3, 16, 8, 7, 6, 16, 11, 10, 9, 16);
    for (; x + 6 <= width; x += 4)
        wasm_v128_store(out + 4 * x, wasm_v128_or(wasm_i8x16_swizzle(wasm_v128_load(in + 3 * x), order), alpha));
    return x;
}
#endif

} // namespace

ChannelWidening channelWidening(DWORD mask) {
    if (mask == 0)
        return {0, 0, 0, true};
    const std::uint32_t max = mask >> std::countr_zero(mask);
    if (max > 255)
        return {};
    for (std::uint32_t shift = 0; shift <= 8; ++shift) {
        const std::uint32_t base = (255u << shift) / max;
        for (std::uint32_t multiplier = base; multiplier <= base + 1; ++multiplier)
            for (std::uint32_t add = 0; add < (1u << shift) && max * multiplier + add <= 0xFFFF; ++add) {
                bool exact = true;
                for (std::uint32_t v = 0; v <= max && exact; ++v)
                    exact = ((v * multiplier + add) >> shift) == (v * 255 + max / 2) / max;
                if (exact)
                    return {static_cast<std::uint16_t>(multiplier), static_cast<std::uint16_t>(add),
                            static_cast<std::uint8_t>(shift), true};
            }
    }
    return {};
}

void frameToRgba(const FrameView &frame, int first, int last, std::uint8_t *out) {
    const std::size_t rowBytes = static_cast<std::size_t>(frame.width) * 4;
    if (!fitsRow(frame)) {
        for (int y = first; y <= last; ++y) {
            std::uint8_t *row = out + static_cast<std::size_t>(y) * rowBytes;
            std::memset(row, 0, rowBytes);
            for (std::size_t i = 3; i < rowBytes; i += 4)
                row[i] = 255;
        }
        return;
    }
    const Widen16 widen{frame.redMask, frame.greenMask, frame.blueMask};
#ifdef __wasm_simd128__
    // Found once for the masks (a pure function of them): every frame of a
    // run has the same.
    static DWORD masks[3] = {1, 1, 1};
    static ChannelWidening steps[3];
    const DWORD wanted[3] = {frame.redMask, frame.greenMask, frame.blueMask};
    for (int c = 0; c < 3; ++c)
        if (masks[c] != wanted[c]) {
            masks[c] = wanted[c];
            steps[c] = channelWidening(wanted[c]);
        }
    const bool simd16 = steps[0].fits && steps[1].fits && steps[2].fits;
#endif
    for (int y = first; y <= last; ++y) {
        const std::uint8_t *in = frame.pixels + static_cast<std::ptrdiff_t>(y) * frame.pitch;
        std::uint8_t *row = out + static_cast<std::size_t>(y) * rowBytes;
        int x = 0;
        if (frame.depth == 24) {
#ifdef __wasm_simd128__
            x = row24(in, row, frame.width);
#endif
            for (; x < frame.width; ++x) {
                row[4 * x] = in[3 * x + 2];
                row[4 * x + 1] = in[3 * x + 1];
                row[4 * x + 2] = in[3 * x];
                row[4 * x + 3] = 255;
            }
        } else {
#ifdef __wasm_simd128__
            if (simd16)
                x = row16(in, row, frame.width, frame, steps);
#endif
            for (; x < frame.width; ++x)
                widen.pixel(in + 2 * x, row + 4 * x);
        }
    }
}

std::vector<std::uint8_t> frameToRgb(const FrameView &frame) {
    const int width = frame.width;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * frame.height * 3, 0);
    if (frame.pixels == nullptr)
        return rgb;
    for (int y = 0; y < frame.height; ++y) {
        const std::uint8_t *row = frame.pixels + static_cast<std::ptrdiff_t>(y) * frame.pitch;
        std::uint8_t *out = rgb.data() + static_cast<std::ptrdiff_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            if (frame.depth == 24) {
                out[3 * x] = row[3 * x + 2];
                out[3 * x + 1] = row[3 * x + 1];
                out[3 * x + 2] = row[3 * x];
            } else if (frame.depth == 16) {
                std::uint32_t word = row[2 * x] | (row[2 * x + 1] << 8);
                out[3 * x] = expandChannel(word, frame.redMask);
                out[3 * x + 1] = expandChannel(word, frame.greenMask);
                out[3 * x + 2] = expandChannel(word, frame.blueMask);
            }
        }
    }
    return rgb;
}

} // namespace orbex
