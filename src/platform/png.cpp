#include "platform/png.h"

#include <png.h>
#include <sys/stat.h>

#include <bit>
#include <cstdio>

#include "platform/files.h"

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

} // namespace

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

bool writeRgbPng(const std::string &path, const std::vector<std::uint8_t> &rgb, int width, int height) {
    if (rgb.size() < static_cast<std::size_t>(width) * height * 3)
        return false;
    UniqueFile stream(std::fopen(path.c_str(), "wb"));
    if (stream == nullptr)
        return false;
    std::FILE *file = stream.get();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (png != nullptr && info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y)
            png_write_row(png, rgb.data() + static_cast<std::ptrdiff_t>(y) * width * 3);
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    if (std::fclose(stream.release()) != 0)
        ok = false;
    return ok;
}

std::string freeShotName(const std::string &folder) {
    for (int n = 1;; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "orbex-shot-%04d.png", n);
        std::string path = folder.empty() ? name : folder + "/" + name;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0)
            return path;
    }
}

} // namespace orbex
