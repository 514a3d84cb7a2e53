#include "platform/png.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifndef ORBEX_NO_LIBPNG
#include <png.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/files.h"

namespace orbex {

namespace {

// libpng reports failures by longjmp, so its part stays apart from anything
// that must survive one.
bool writePngStream(std::FILE *file, const std::uint8_t *rgb, int width, int height) {
#ifdef ORBEX_NO_LIBPNG
    // The browser build has no libpng: its page makes the pictures.
    (void)file, (void)rgb, (void)width, (void)height;
    return false;
#else
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
#endif
}

// Writes the picture into the file opened as fd (closed here, -1 is a
// failure already told in why).
bool writePngTo(int fd, const std::vector<std::uint8_t> &rgb, int width, int height, std::string &why) {
    UniqueFile stream = streamOf(fd, "wb");
    if (stream == nullptr)
        return false;
    bool ok = writePngStream(stream.get(), rgb.data(), width, height);
    const char *failure = "writing failed";
    if (std::fclose(stream.release()) != 0) {
        failure = std::strerror(errno);
        ok = false;
    }
    if (!ok)
        why = failure;
    return ok;
}

bool enoughPixels(const std::vector<std::uint8_t> &rgb, int width, int height, std::string &why) {
    if (rgb.size() >= static_cast<std::size_t>(width) * height * 3)
        return true;
    why = "no picture";
    return false;
}

} // namespace

bool writeRgbPng(const std::string &path, const std::vector<std::uint8_t> &rgb, int width, int height,
                 std::string &why) {
    if (!enoughPixels(rgb, width, height, why))
        return false;
    // Mode 0666 before the umask, as any picture a program saves.
    return writePngTo(openRegularForWriting(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, why, 0666), rgb, width, height,
                      why);
}

bool writeNewShot(const std::string &folder, const std::vector<std::uint8_t> &rgb, int width, int height,
                  std::string *path, std::string &why) {
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
