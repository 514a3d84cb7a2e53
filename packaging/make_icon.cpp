// orbex-make-icon: cuts the desktop icon out of one of the magazine's own
// pictures at build time, so that no second copy of the art is kept.
//   orbex-make-icon IN.png X Y SIDE SIZE OUT.png
// takes the SIDE x SIDE square at (X, Y) and writes it as SIZE x SIZE.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "images.h"

namespace {

bool parseNumber(const char *text, int &value) {
    char *end = nullptr;
    long number = std::strtol(text, &end, 10);
    if (end == text || *end != 0 || number < 0 || number > 65536)
        return false;
    value = static_cast<int>(number);
    return true;
}

// Box filter: each icon pixel is the area-weighted mean of the picture pixels
// under it, so whole-number enlargements keep the pixel art's hard edges and
// reductions do not flicker.
bool cutIcon(const orbex::RgbImage &picture, int x, int y, int side, int size, orbex::RgbImage &icon) {
    if (x + side > picture.width || y + side > picture.height)
        return false;
    icon.width = icon.height = size;
    icon.rgb.assign(static_cast<std::size_t>(3) * size * size, 0);
    // Positions in units of 1/size of a picture pixel keep every sum exact.
    for (int row = 0; row < size; ++row)
        for (int column = 0; column < size; ++column) {
            long sum[3] = {0, 0, 0};
            for (long sy = static_cast<long>(row) * side; sy < static_cast<long>(row + 1) * side;) {
                long pictureRow = sy / size;
                long rowSpan = std::min(static_cast<long>(row + 1) * side, (pictureRow + 1) * size) - sy;
                for (long sx = static_cast<long>(column) * side; sx < static_cast<long>(column + 1) * side;) {
                    long pictureColumn = sx / size;
                    long span = std::min(static_cast<long>(column + 1) * side, (pictureColumn + 1) * size) - sx;
                    std::size_t at = 3 * (static_cast<std::size_t>(y + pictureRow) * picture.width + x + pictureColumn);
                    for (int c = 0; c < 3; ++c)
                        sum[c] += picture.rgb[at + c] * rowSpan * span;
                    sx += span;
                }
                sy += rowSpan;
            }
            long area = static_cast<long>(side) * side;
            for (int c = 0; c < 3; ++c)
                icon.rgb[3 * (static_cast<std::size_t>(row) * size + column) + c] =
                    static_cast<std::uint8_t>((sum[c] + area / 2) / area);
        }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    int x = 0, y = 0, side = 0, size = 0;
    if (argc != 7 || !parseNumber(argv[2], x) || !parseNumber(argv[3], y) || !parseNumber(argv[4], side) ||
        !parseNumber(argv[5], size) || side == 0 || size == 0) {
        std::fprintf(stderr, "usage: orbex-make-icon IN.png X Y SIDE SIZE OUT.png\n");
        return 2;
    }
    orbex::Report report;
    orbex::RgbImage picture;
    if (!orbex::readPng(argv[1], picture, report)) {
        for (const std::string &e : report.errors)
            std::fprintf(stderr, "orbex-make-icon: %s\n", e.c_str());
        return 1;
    }
    orbex::RgbImage icon;
    if (!cutIcon(picture, x, y, side, size, icon)) {
        std::fprintf(stderr, "orbex-make-icon: the square %dx%d at (%d, %d) is not inside the %dx%d picture\n", side,
                     side, x, y, picture.width, picture.height);
        return 1;
    }
    if (!orbex::writePng(argv[6], icon)) {
        std::fprintf(stderr, "orbex-make-icon: cannot write %s\n", argv[6]);
        return 1;
    }
    return 0;
}
