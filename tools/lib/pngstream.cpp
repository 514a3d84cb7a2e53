#include "pngstream.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orbex {

namespace {

// Deflate never packs more than 1032 bytes into one.
constexpr std::uint64_t MAX_DEFLATE_RATIO = 1032;

struct Source {
    const std::uint8_t *data;
    std::size_t size;
    std::size_t at;
    char message[160];
};

void readData(png_structp png, png_bytep out, std::size_t n) {
    auto *source = static_cast<Source *>(png_get_io_ptr(png));
    if (n > source->size - source->at)
        png_error(png, "the file ends early");
    std::memcpy(out, source->data + source->at, n);
    source->at += n;
}

void onError(png_structp png, png_const_charp message) {
    auto *source = static_cast<Source *>(png_get_error_ptr(png));
    std::snprintf(source->message, sizeof source->message, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// Alpha laid over black, as the viewer's pointer wants transparency.
void toRgb(const std::uint8_t *rgba, std::uint8_t *rgb, std::uint32_t width) {
    for (std::uint32_t x = 0; x < width; ++x) {
        unsigned alpha = rgba[4 * x + 3];
        if (alpha == 255) {
            rgb[3 * x] = rgba[4 * x];
            rgb[3 * x + 1] = rgba[4 * x + 1];
            rgb[3 * x + 2] = rgba[4 * x + 2];
            continue;
        }
        for (int c = 0; c < 3; ++c)
            rgb[3 * x + c] = static_cast<std::uint8_t>((rgba[4 * x + c] * alpha + 127) / 255);
    }
}

} // namespace

// libpng reports errors by longjmp, so nothing in this frame may need a
// destructor: the buffers are malloc'd through volatile pointers.
bool streamPng(const std::vector<std::uint8_t> &bytes, PngRowSink &sink, std::string &why,
               std::uint64_t maxInterlacedPixels) {
    Source source{bytes.data(), bytes.size(), 0, "not a PNG picture"};
    if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) {
        why = "not a PNG picture";
        return false;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, onError, onWarning);
    if (png == nullptr) {
        why = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    std::uint8_t *volatile rows = nullptr;
    std::uint8_t *volatile rgb = nullptr;
    volatile bool stopped = false;
    if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
        std::free(rows);
        std::free(rgb);
        png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
        if (!stopped)
            why = source.message;
        return false;
    }
    png_set_read_fn(png, &source, readData);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    std::uint64_t bitsPerPixel = static_cast<std::uint64_t>(png_get_bit_depth(png, info)) * png_get_channels(png, info);
    std::uint64_t filtered = height * ((width * bitsPerPixel + 7) / 8 + 1);
    if (filtered > MAX_DEFLATE_RATIO * bytes.size() + 4096) {
        std::snprintf(source.message, sizeof source.message,
                      "the header claims %ux%u pixels, more than the file's %zu bytes can hold", width, height,
                      bytes.size());
        png_longjmp(png, 1);
    }
    bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    if (interlaced && static_cast<std::uint64_t>(width) * height > maxInterlacedPixels) {
        std::snprintf(source.message, sizeof source.message,
                      "an interlaced picture of %ux%u pixels is too big to read; save it without interlacing", width,
                      height);
        png_longjmp(png, 1);
    }
    {
        std::string refusal;
        if (!sink.begin(width, height, refusal)) {
            why = refusal;
            stopped = true;
        }
    }
    if (stopped)
        png_longjmp(png, 1);

    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    rows = static_cast<std::uint8_t *>(std::malloc(rowBytes * (interlaced ? height : 1)));
    rgb = static_cast<std::uint8_t *>(std::malloc(static_cast<std::size_t>(width) * 3));
    if (rows == nullptr || rgb == nullptr)
        png_error(png, "out of memory");
    if (interlaced) {
        for (int pass = 0; pass < passes; ++pass)
            for (png_uint_32 y = 0; y < height; ++y)
                png_read_row(png, rows + y * rowBytes, nullptr);
        for (png_uint_32 y = 0; y < height; ++y) {
            toRgb(rows + y * rowBytes, rgb, width);
            sink.row(y, rgb);
        }
    } else {
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, rows, nullptr);
            toRgb(rows, rgb, width);
            sink.row(y, rgb);
        }
    }
    std::free(rows);
    std::free(rgb);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace orbex
