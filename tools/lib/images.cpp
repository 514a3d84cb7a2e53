#include "images.h"

#include "common/geometry.h"

#include <libimagequant.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

#include "pngstream.h"

namespace orbex {

namespace {

constexpr std::size_t PCX_HEADER_SIZE = 128;
constexpr std::size_t PCX_PALETTE_SIZE = 768;
// One byte of run-length data stands for at most 63 pixels.
constexpr std::uint64_t PCX_MAX_RUN = 63;

void put16(std::vector<std::uint8_t> &out, std::size_t at, int value) {
    out[at] = static_cast<std::uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

int get16(const std::vector<std::uint8_t> &in, std::size_t at) { return in[at] | (in[at + 1] << 8); }

std::uint32_t packRgb(const std::uint8_t *p) { return (p[0] << 16) | (p[1] << 8) | p[2]; }

int channel(std::uint32_t rgb, int c) { return (rgb >> (16 - 8 * c)) & 0xFF; }

std::string sizeText(std::uint64_t width, std::uint64_t height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

// The whole picture, up to a number of pixels.
class WholePicture final : public PngRowSink {
  public:
    WholePicture(RgbImage &image, std::uint64_t maxPixels) : image(image), maxPixels(maxPixels) {}
    bool begin(std::uint32_t width, std::uint32_t height, std::string &why) override {
        if (static_cast<std::uint64_t>(width) * height > maxPixels) {
            why = sizeText(width, height) + " pixels are more than the tools take (" + std::to_string(maxPixels) + ")";
            return false;
        }
        image.width = static_cast<int>(width);
        image.height = static_cast<int>(height);
        image.rgb.assign(static_cast<std::size_t>(width) * height * 3, 0);
        return true;
    }
    void row(std::uint32_t y, const std::uint8_t *rgb) override {
        std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
        std::copy(rgb, rgb + rowBytes, image.rgb.begin() + static_cast<std::ptrdiff_t>(y * rowBytes));
    }

  private:
    RgbImage &image;
    std::uint64_t maxPixels;
};

// A source of any size made into a picture of the viewer's size, row by row.
class FittedPicture final : public PngRowSink {
  public:
    FittedPicture(RgbImage &image, PictureKind kind, Fit fit) : image(image), kind(kind), fit(fit) {
        image.width = pictureWidth(kind);
        image.height = pictureHeight(kind);
        image.rgb.assign(static_cast<std::size_t>(image.width) * image.height * 3, 0);
    }

    bool begin(std::uint32_t width, std::uint32_t height, std::string &why) override {
        sourceWidth = width;
        sourceHeight = height;
        if (fit == Fit::None && (static_cast<int>(width) != image.width || static_cast<int>(height) != image.height)) {
            why = "the picture is " + sizeText(width, height) + "; the viewer shows " +
                  (kind == PictureKind::Pointer ? "the pointer at 32x32" : "this picture at 640x480") +
                  ". Give it that size, or use --fit scale or --fit pad";
            return false;
        }
        if (fit == Fit::Pad && kind == PictureKind::Screen) {
            offsetX = (image.width - static_cast<std::int64_t>(width)) / 2;
            offsetY = (image.height - static_cast<std::int64_t>(height)) / 2;
        }
        if (fit == Fit::Scale && kind == PictureKind::Screen)
            sums.assign(image.rgb.size(), 0.0);
        return true;
    }

    void row(std::uint32_t y, const std::uint8_t *rgb) override {
        if (fit == Fit::Scale)
            kind == PictureKind::Pointer ? nearestRow(y, rgb) : averageRow(y, rgb);
        else
            placeRow(y, rgb);
    }

    // The averaged sums become pixels once every row is in.
    void finish() {
        if (sums.empty())
            return;
        for (std::size_t i = 0; i < sums.size(); ++i)
            image.rgb[i] = static_cast<std::uint8_t>(std::clamp(std::lround(sums[i]), 0L, 255L));
    }

  private:
    RgbImage &image;
    PictureKind kind;
    Fit fit;
    std::uint32_t sourceWidth = 0, sourceHeight = 0;
    std::int64_t offsetX = 0, offsetY = 0;
    std::vector<double> sums;
    std::vector<double> line; // one source row, averaged across
    // How much of a source pixel (its first byte) goes into a target pixel.
    struct Share {
        std::size_t source;
        int target;
        double weight;
    };
    std::vector<Share> across;

    void placeRow(std::uint32_t y, const std::uint8_t *rgb) {
        std::int64_t ty = offsetY + y;
        if (ty < 0 || ty >= image.height)
            return;
        for (std::int64_t x = std::max<std::int64_t>(0, -offsetX); x < sourceWidth && offsetX + x < image.width; ++x)
            std::copy(rgb + 3 * x, rgb + 3 * x + 3,
                      image.rgb.begin() + static_cast<std::ptrdiff_t>(3 * (ty * image.width + offsetX + x)));
    }

    // The pointer keeps hard edges, so no colour mixes with its transparent black.
    void nearestRow(std::uint32_t y, const std::uint8_t *rgb) {
        for (int ty = 0; ty < image.height; ++ty) {
            if (static_cast<std::uint32_t>((2 * ty + 1) * static_cast<std::uint64_t>(sourceHeight) /
                                           (2 * image.height)) != y)
                continue;
            for (int tx = 0; tx < image.width; ++tx) {
                std::uint64_t sx = (2 * tx + 1) * static_cast<std::uint64_t>(sourceWidth) / (2 * image.width);
                std::copy(rgb + 3 * sx, rgb + 3 * sx + 3,
                          image.rgb.begin() + static_cast<std::ptrdiff_t>(3 * (ty * image.width + tx)));
            }
        }
    }

    // Each target pixel is the area-weighted mean of the source pixels it
    // covers; a source pixel covers width/sourceWidth target columns.
    void averageRow(std::uint32_t y, const std::uint8_t *rgb) {
        if (across.empty()) {
            // The same shares for every row, worked out once.
            double sx = static_cast<double>(image.width) / sourceWidth;
            for (std::uint32_t x = 0; x < sourceWidth; ++x)
                spread(x * sx, (x + 1) * sx, image.width, [&](int tx, double w) {
                    across.push_back({3 * static_cast<std::size_t>(x), 3 * tx, w});
                });
        }
        line.assign(static_cast<std::size_t>(image.width) * 3, 0.0);
        for (const Share &share : across)
            for (int c = 0; c < 3; ++c)
                line[share.target + c] += rgb[share.source + c] * share.weight;
        double sy = static_cast<double>(image.height) / sourceHeight;
        spread(y * sy, (y + 1) * sy, image.height, [&](int ty, double w) {
            double *target = &sums[static_cast<std::size_t>(ty) * image.width * 3];
            for (std::size_t i = 0; i < line.size(); ++i)
                target[i] += line[i] * w;
        });
    }

    template <typename Add> static void spread(double from, double to, int cells, Add add) {
        int first = static_cast<int>(std::floor(from));
        int last = std::min(cells - 1, static_cast<int>(std::ceil(to)) - 1);
        for (int cell = std::max(0, first); cell <= last; ++cell) {
            double overlap = std::min(to, cell + 1.0) - std::max(from, static_cast<double>(cell));
            if (overlap > 0)
                add(cell, overlap);
        }
    }
};

bool decodeWith(const std::vector<std::uint8_t> &png, PngRowSink &sink, Report &report) {
    std::string why;
    if (streamPng(png, sink, why))
        return true;
    report.error(why);
    return false;
}

// Prefixes the messages a step reports with a file's path.
class Named {
  public:
    Named(Report &into, std::string path) : into(into), path(std::move(path)) {}
    ~Named() {
        for (const std::string &e : found.errors)
            into.error(path + ": " + e);
        for (const std::string &w : found.warnings)
            into.warn(path + ": " + w);
    }
    Named(const Named &) = delete;
    Named &operator=(const Named &) = delete;
    Report found;

  private:
    Report &into;
    std::string path;
};

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

int pictureWidth(PictureKind kind) { return kind == PictureKind::Pointer ? POINTER_SIZE : SCREENWIDTH; }
int pictureHeight(PictureKind kind) { return kind == PictureKind::Pointer ? POINTER_SIZE : SCREENHEIGHT; }

bool decodePng(const std::vector<std::uint8_t> &png, RgbImage &image, Report &report, std::uint64_t maxPixels) {
    WholePicture sink(image, maxPixels);
    return decodeWith(png, sink, report);
}

bool decodePicture(const std::vector<std::uint8_t> &png, PictureKind kind, Fit fit, RgbImage &image, Report &report) {
    FittedPicture sink(image, kind, fit);
    if (!decodeWith(png, sink, report))
        return false;
    sink.finish();
    return true;
}

bool readPng(const std::string &path, RgbImage &image, Report &report) {
    std::vector<std::uint8_t> bytes;
    if (!readInput(path, bytes, report))
        return false;
    Named named(report, path);
    return decodePng(bytes, image, named.found);
}

bool readPicture(const std::string &path, PictureKind kind, Fit fit, RgbImage &image, Report &report) {
    std::vector<std::uint8_t> bytes;
    if (!readInput(path, bytes, report))
        return false;
    Named named(report, path);
    return decodePicture(bytes, kind, fit, image, named.found);
}

bool readPicture(const Folder &folder, const std::string &name, PictureKind kind, Fit fit, RgbImage &image,
                 Report &report) {
    std::vector<std::uint8_t> bytes;
    FileRead read = folder.read(name, bytes);
    if (read.result != ReadResult::Ok) {
        report.error(folder.problem(read));
        return false;
    }
    Named named(report, folder.pathOf(name));
    return decodePicture(bytes, kind, fit, image, named.found);
}

bool encodePng(const RgbImage &image, std::vector<std::uint8_t> &png) {
    png_image header{};
    header.version = PNG_IMAGE_VERSION;
    header.width = static_cast<png_uint_32>(image.width);
    header.height = static_cast<png_uint_32>(image.height);
    header.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (png_image_write_to_memory(&header, nullptr, &size, 0, image.rgb.data(), 0, nullptr) == 0)
        return false;
    png.resize(size);
    if (png_image_write_to_memory(&header, png.data(), &size, 0, image.rgb.data(), 0, nullptr) == 0)
        return false;
    png.resize(size);
    return true;
}

bool writePng(const std::string &path, const RgbImage &image) {
    std::vector<std::uint8_t> bytes;
    return encodePng(image, bytes) && writeFileBytes(path, bytes);
}

bool pngSize(const std::vector<std::uint8_t> &png, std::uint32_t &width, std::uint32_t &height) {
    // The signature, then the IHDR chunk's length and name, then the size.
    if (png.size() < 24 || png_sig_cmp(png.data(), 0, 8) != 0 ||
        std::string(png.begin() + 12, png.begin() + 16) != "IHDR")
        return false;
    auto be32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3]);
    };
    width = be32(16);
    height = be32(20);
    return true;
}

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

bool encodePcx(const IndexedImage &image, std::vector<std::uint8_t> &out, Report &report) {
    if (image.width < 1 || image.height < 1 || image.width > 65535 || image.height > 65535) {
        report.error("a PCX picture needs 1 to 65535 columns and rows");
        return false;
    }
    if (image.width % 2 != 0) {
        report.error("the width " + std::to_string(image.width) +
                     " is odd: PCX rows are padded to an even length, which the viewer does not skip");
        return false;
    }
    out.assign(PCX_HEADER_SIZE, 0);
    out[0] = 0x0A; // ZSoft
    out[1] = 5;    // version 3.0 with a 256-colour palette
    out[2] = 1;    // run-length encoding
    out[3] = 8;    // bits per pixel
    put16(out, 8, image.width - 1);
    put16(out, 10, image.height - 1);
    put16(out, 12, 72);
    put16(out, 14, 72);
    out[65] = 1; // planes
    put16(out, 66, image.width);
    put16(out, 68, 1); // colour palette
    put16(out, 70, image.width);
    put16(out, 72, image.height);
    // Runs never cross a row, as other readers expect.
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t *row = image.indices.data() + static_cast<std::size_t>(y) * image.width;
        for (int x = 0; x < image.width;) {
            std::uint8_t value = row[x];
            int run = 1;
            while (x + run < image.width && run < 63 && row[x + run] == value)
                ++run;
            if (run > 1 || value >= 0xC0)
                out.push_back(static_cast<std::uint8_t>(0xC0 | run));
            out.push_back(value);
            x += run;
        }
    }
    out.push_back(0x0C);
    out.insert(out.end(), image.palette.begin(), image.palette.end());
    return true;
}

bool decodePcx(const std::vector<std::uint8_t> &file, IndexedImage &image, Report &report, int expectedWidth,
               int expectedHeight) {
    if (file.size() < PCX_HEADER_SIZE + PCX_PALETTE_SIZE + 1) {
        report.error("too short for a PCX picture with a palette");
        return false;
    }
    if (file[0] != 0x0A || file[2] != 1 || file[3] != 8 || file[65] != 1) {
        report.error("not an 8-bit single-plane run-length PCX picture");
        return false;
    }
    if (file[1] != 5)
        report.warn("PCX version " + std::to_string(file[1]) + ", not 5");
    // The viewer takes the differences as signed numbers.
    std::int64_t w = static_cast<std::int64_t>(get16(file, 8)) - get16(file, 4) + 1;
    std::int64_t h = static_cast<std::int64_t>(get16(file, 10)) - get16(file, 6) + 1;
    if (w < 1 || h < 1) {
        report.error("the picture's corners are crossed");
        return false;
    }
    if (expectedWidth > 0 && (w != expectedWidth || h != expectedHeight)) {
        report.error(sizeText(static_cast<std::uint64_t>(w), static_cast<std::uint64_t>(h)) + ", the viewer wants " +
                     sizeText(static_cast<std::uint64_t>(expectedWidth), static_cast<std::uint64_t>(expectedHeight)));
        return false;
    }
    std::size_t end = file.size() - PCX_PALETTE_SIZE;
    auto count = static_cast<std::uint64_t>(w * h);
    if (count > PCX_MAX_RUN * (end - PCX_HEADER_SIZE)) {
        report.error("the header claims " + sizeText(static_cast<std::uint64_t>(w), static_cast<std::uint64_t>(h)) +
                     " pixels, more than the file's " + std::to_string(file.size()) + " bytes can hold");
        return false;
    }
    if (get16(file, 66) != w)
        report.error("bytes per line is " + std::to_string(get16(file, 66)) + ", the viewer reads " +
                     std::to_string(w) + " per row");
    image.width = static_cast<int>(w);
    image.height = static_cast<int>(h);
    image.indices.assign(count, 0);
    std::size_t at = PCX_HEADER_SIZE, n = 0;
    while (n < count) {
        if (at >= end) {
            report.error("the pixel data ends early; the viewer fills the rest with index 255");
            return false;
        }
        std::uint8_t b = file[at++];
        std::size_t run = 1;
        if ((b & 0xC0) == 0xC0) {
            run = b & 0x3F;
            if (run == 0)
                continue;
            if (at >= end) {
                report.error("the pixel data ends inside a run");
                return false;
            }
            b = file[at++];
        }
        for (; run > 0 && n < count; --run)
            image.indices[n++] = b;
    }
    if (file[end - 1] != 0x0C)
        report.warn("no 0x0C marker before the palette");
    std::copy(file.begin() + static_cast<std::ptrdiff_t>(end), file.end(), image.palette.begin());
    return true;
}

bool encodeRaw(const RgbImage &image, std::vector<std::uint8_t> &out, Report &report) {
    if (image.width != SCREENWIDTH || image.height != SCREENHEIGHT) {
        report.error("the start picture must be 640x480, not " + std::to_string(image.width) + "x" +
                     std::to_string(image.height));
        return false;
    }
    out = image.rgb;
    return true;
}

} // namespace orbex
