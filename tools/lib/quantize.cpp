// A picture's colours reduced to a palette of 256 entries: kept exactly when
// it has no more, reduced with libimagequant when it has; the pointer's pure
// black kept apart as its transparent colour.
#include "images.h"

#include <libimagequant.h>

#include <map>
#include <memory>

namespace orbex {

namespace {

std::uint32_t packRgb(const std::uint8_t *p) { return (p[0] << 16) | (p[1] << 8) | p[2]; }

int channel(std::uint32_t rgb, int c) { return (rgb >> (16 - 8 * c)) & 0xFF; }

// The nearest palette entry by squared distance, skipping one entry.
int nearestEntry(const std::uint8_t *rgb, const std::vector<std::uint32_t> &palette, int skip) {
    int best = -1;
    long bestDistance = 0;
    for (std::size_t k = 0; k < palette.size(); ++k) {
        if (static_cast<int>(k) == skip)
            continue;
        long d = 0;
        for (int c = 0; c < 3; ++c) {
            long diff = rgb[c] - channel(palette[k], c);
            d += diff * diff;
        }
        if (best < 0 || d < bestDistance) {
            best = static_cast<int>(k);
            bestDistance = d;
        }
    }
    return best;
}

bool reduceColours(const RgbImage &image, const QuantizeOptions &options, std::vector<std::uint32_t> &palette,
                   std::vector<std::uint8_t> &indices) {
    std::size_t count = static_cast<std::size_t>(image.width) * image.height;
    std::vector<liq_color> rgba(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t *p = &image.rgb[3 * i];
        // Transparent pixels get an entry of their own and are never dithered.
        bool clear = options.pointer && p[0] == 0 && p[1] == 0 && p[2] == 0;
        rgba[i] = liq_color{p[0], p[1], p[2], static_cast<unsigned char>(clear ? 0 : 255)};
    }
    std::unique_ptr<liq_attr, void (*)(liq_attr *)> attr(liq_attr_create(), liq_attr_destroy);
    if (!attr || liq_set_max_colors(attr.get(), 256) != LIQ_OK)
        return false;
    std::unique_ptr<liq_image, void (*)(liq_image *)> input(
        liq_image_create_rgba(attr.get(), rgba.data(), image.width, image.height, 0), liq_image_destroy);
    liq_result *raw = nullptr;
    if (!input || liq_image_quantize(input.get(), attr.get(), &raw) != LIQ_OK)
        return false;
    std::unique_ptr<liq_result, void (*)(liq_result *)> result(raw, liq_result_destroy);
    liq_set_dithering_level(result.get(), options.dither ? 1.0f : 0.0f);
    indices.assign(count, 0);
    if (liq_write_remapped_image(result.get(), input.get(), indices.data(), indices.size()) != LIQ_OK)
        return false;
    const liq_palette *entries = liq_get_palette(result.get());
    int clearEntry = -1;
    palette.clear();
    for (unsigned k = 0; k < entries->count; ++k) {
        const liq_color &e = entries->entries[k];
        std::uint32_t rgb = (e.r << 16) | (e.g << 8) | e.b;
        if (options.pointer && e.a == 0 && clearEntry < 0) {
            clearEntry = static_cast<int>(k);
            rgb = 0;
        } else if (options.pointer && rgb == 0) {
            // An opaque entry must not turn transparent in the viewer.
            rgb = 0x010101;
        }
        palette.push_back(rgb);
    }
    if (!options.pointer)
        return true;
    for (std::size_t i = 0; i < count; ++i) {
        bool black = rgba[i].a == 0;
        if (black && clearEntry >= 0)
            indices[i] = static_cast<std::uint8_t>(clearEntry);
        else if (!black && indices[i] == clearEntry)
            indices[i] = static_cast<std::uint8_t>(nearestEntry(&image.rgb[3 * i], palette, clearEntry));
    }
    return true;
}

} // namespace

IndexedImage quantize(const RgbImage &image, Report &report, const QuantizeOptions &options) {
    IndexedImage out;
    out.width = image.width;
    out.height = image.height;
    std::size_t count = static_cast<std::size_t>(image.width) * image.height;

    std::map<std::uint32_t, std::uint8_t> exact;
    for (std::size_t i = 0; i < count && exact.size() <= 256; ++i)
        exact.emplace(packRgb(&image.rgb[3 * i]), 0);
    std::vector<std::uint32_t> palette;
    if (exact.size() <= 256) {
        // In colour order, so the output is the same from run to run.
        for (auto &[rgb, index] : exact) {
            index = static_cast<std::uint8_t>(palette.size());
            palette.push_back(rgb);
        }
        out.indices.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            out.indices[i] = exact[packRgb(&image.rgb[3 * i])];
    } else if (reduceColours(image, options, palette, out.indices)) {
        report.warn("more than 256 colours, reduced to " + std::to_string(palette.size()) + " by libimagequant" +
                    (options.dither ? " with dithering" : ""));
    } else {
        report.error("libimagequant could not reduce the colours");
        out.indices.assign(count, 0);
    }
    for (std::size_t i = 0; i < palette.size(); ++i)
        for (int c = 0; c < 3; ++c)
            out.palette[3 * i + c] = static_cast<std::uint8_t>(channel(palette[i], c));
    return out;
}

} // namespace orbex
