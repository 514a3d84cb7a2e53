// Pictures in and out as PNG: any source read a row at a time (libpng,
// pngstream.h), fitted to the viewer's sizes, and written back.
#include "images.h"

#include "common/geometry.h"

#include <png.h>

#include <algorithm>
#include <cmath>

#include "pngstream.h"

namespace orbex {

namespace {

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
    return encodePng(image, bytes) && writeBytes(path, bytes);
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

} // namespace orbex
