#include "platform/png.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/files.h"

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

namespace {

// libpng reports failures by longjmp, so its part stays apart from anything
// that must survive one.
bool writePngStream(std::FILE *file, const std::uint8_t *rgb, int width, int height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (png != nullptr && info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y)
            png_write_row(png, rgb + static_cast<std::ptrdiff_t>(y) * width * 3);
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    return ok;
}

// Writes the picture into the file opened as fd (closed here, -1 is a
// failure already told in *why).
bool writePngTo(int fd, const std::vector<std::uint8_t> &rgb, int width, int height, std::string *why) {
    UniqueFile stream = streamOf(fd, "wb");
    if (stream == nullptr)
        return false;
    bool ok = writePngStream(stream.get(), rgb.data(), width, height);
    const char *failure = "writing failed";
    if (std::fclose(stream.release()) != 0) {
        failure = std::strerror(errno);
        ok = false;
    }
    if (!ok && why != nullptr)
        *why = failure;
    return ok;
}

bool enoughPixels(const std::vector<std::uint8_t> &rgb, int width, int height, std::string *why) {
    if (rgb.size() >= static_cast<std::size_t>(width) * height * 3)
        return true;
    if (why != nullptr)
        *why = "no picture";
    return false;
}

} // namespace

bool writeRgbPng(const std::string &path, const std::vector<std::uint8_t> &rgb, int width, int height,
                 std::string *why) {
    if (!enoughPixels(rgb, width, height, why))
        return false;
    // Mode 0666 before the umask, as any picture a program saves.
    return writePngTo(openRegularForWriting(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, why, 0666), rgb, width, height,
                      why);
}

bool writeNewShot(const std::string &folder, const std::vector<std::uint8_t> &rgb, int width, int height,
                  std::string *path, std::string *why) {
    if (!enoughPixels(rgb, width, height, why))
        return false;
    for (int n = 1;; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "orbex-shot-%04d.png", n);
        *path = folder.empty() ? name : folder + "/" + name;
        struct stat st {};
        if (::lstat(path->c_str(), &st) == 0)
            continue;
        // Created only if still nobody's: a second viewer saving at the same
        // moment takes the next number instead of overwriting this one.
        int fd = openRegularForWriting(path->c_str(), O_WRONLY | O_CREAT | O_EXCL, why, 0666);
        if (fd < 0 && ::lstat(path->c_str(), &st) == 0)
            continue;
        return writePngTo(fd, rgb, width, height, why);
    }
}

} // namespace orbex
