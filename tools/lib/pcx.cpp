// The viewer's own picture files: PCX (run-length, 8 bits, one plane, its
// palette at the end) written and read back as the viewer would read it,
// and the raw start picture.
#include "images.h"

#include "common/geometry.h"

#include <algorithm>

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

} // namespace

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
