#include "images.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace orbex {

namespace {

constexpr std::size_t PCX_HEADER_SIZE = 128;
constexpr std::size_t PCX_PALETTE_SIZE = 768;

void put16(std::vector<std::uint8_t> &out, std::size_t at, int value) {
    out[at] = static_cast<std::uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

int get16(const std::vector<std::uint8_t> &in, std::size_t at) { return in[at] | (in[at + 1] << 8); }

std::uint32_t packRgb(const std::uint8_t *p) { return (p[0] << 16) | (p[1] << 8) | p[2]; }

struct ColourCount {
    std::uint32_t rgb;
    std::uint32_t count;
};

int channel(std::uint32_t rgb, int c) { return (rgb >> (16 - 8 * c)) & 0xFF; }

// One box of median cut: a slice of the colour list.
struct Box {
    std::size_t begin, end;
    int widest; // channel with the largest range
    int range;  // that range
    std::uint64_t pixels;
};

Box measure(const std::vector<ColourCount> &colours, std::size_t begin, std::size_t end) {
    int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
    std::uint64_t pixels = 0;
    for (std::size_t i = begin; i < end; ++i) {
        for (int c = 0; c < 3; ++c) {
            lo[c] = std::min(lo[c], channel(colours[i].rgb, c));
            hi[c] = std::max(hi[c], channel(colours[i].rgb, c));
        }
        pixels += colours[i].count;
    }
    Box box{begin, end, 0, hi[0] - lo[0], pixels};
    for (int c = 1; c < 3; ++c)
        if (hi[c] - lo[c] > box.range) {
            box.widest = c;
            box.range = hi[c] - lo[c];
        }
    return box;
}

} // namespace

bool readBytes(const std::string &path, std::vector<std::uint8_t> &bytes) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    bytes.clear();
    std::uint8_t buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

bool writeBytes(const std::string &path, const std::vector<std::uint8_t> &bytes) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0)
        ok = false;
    return ok;
}

bool readPng(const std::string &path, RgbImage &image, Report &report) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&png, path.c_str()) == 0) {
        report.error(path + ": not a readable PNG (" + png.message + ")");
        return false;
    }
    png.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(png));
    if (png_image_finish_read(&png, nullptr, rgba.data(), 0, nullptr) == 0) {
        report.error(path + ": " + png.message);
        png_image_free(&png);
        return false;
    }
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.rgb.assign(static_cast<std::size_t>(image.width) * image.height * 3, 0);
    for (std::size_t i = 0; i < image.rgb.size() / 3; ++i) {
        unsigned alpha = rgba[4 * i + 3];
        for (int c = 0; c < 3; ++c)
            image.rgb[3 * i + c] = static_cast<std::uint8_t>((rgba[4 * i + c] * alpha + 127) / 255);
    }
    return true;
}

bool writePng(const std::string &path, const RgbImage &image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&png, path.c_str(), 0, image.rgb.data(), 0, nullptr) != 0;
}

IndexedImage quantize(const RgbImage &image, Report &report) {
    IndexedImage out;
    out.width = image.width;
    out.height = image.height;
    std::size_t count = static_cast<std::size_t>(image.width) * image.height;
    out.indices.assign(count, 0);

    std::unordered_map<std::uint32_t, std::uint32_t> histogram;
    for (std::size_t i = 0; i < count; ++i)
        ++histogram[packRgb(&image.rgb[3 * i])];
    std::vector<ColourCount> colours;
    colours.reserve(histogram.size());
    for (auto [rgb, n] : histogram)
        colours.push_back({rgb, n});
    // A fixed order keeps the output the same from run to run.
    std::sort(colours.begin(), colours.end(), [](const ColourCount &a, const ColourCount &b) { return a.rgb < b.rgb; });

    std::vector<std::uint32_t> palette;
    if (colours.size() <= 256) {
        for (const ColourCount &c : colours)
            palette.push_back(c.rgb);
    } else {
        report.warn(std::to_string(colours.size()) + " colours reduced to 256 by median cut");
        std::vector<Box> boxes{measure(colours, 0, colours.size())};
        while (boxes.size() < 256) {
            auto split = std::max_element(boxes.begin(), boxes.end(), [](const Box &a, const Box &b) {
                return (a.end - a.begin > 1 ? a.range : -1) < (b.end - b.begin > 1 ? b.range : -1);
            });
            if (split->end - split->begin < 2)
                break;
            Box box = *split;
            int c = box.widest;
            std::sort(
                colours.begin() + static_cast<std::ptrdiff_t>(box.begin),
                colours.begin() + static_cast<std::ptrdiff_t>(box.end),
                [c](const ColourCount &a, const ColourCount &b) { return channel(a.rgb, c) < channel(b.rgb, c); });
            // Cut at the pixel-weighted median, keeping both halves non-empty.
            std::uint64_t half = box.pixels / 2, seen = 0;
            std::size_t cut = box.begin + 1;
            for (std::size_t i = box.begin; i < box.end - 1; ++i) {
                seen += colours[i].count;
                cut = i + 1;
                if (seen >= half)
                    break;
            }
            *split = measure(colours, box.begin, cut);
            boxes.push_back(measure(colours, cut, box.end));
        }
        for (const Box &box : boxes) {
            std::uint64_t sum[3] = {0, 0, 0};
            for (std::size_t i = box.begin; i < box.end; ++i)
                for (int c = 0; c < 3; ++c)
                    sum[c] += static_cast<std::uint64_t>(channel(colours[i].rgb, c)) * colours[i].count;
            std::uint32_t rgb = 0;
            for (int c = 0; c < 3; ++c)
                rgb = (rgb << 8) | static_cast<std::uint32_t>((sum[c] + box.pixels / 2) / box.pixels);
            palette.push_back(rgb);
        }
    }
    for (std::size_t i = 0; i < palette.size(); ++i)
        for (int c = 0; c < 3; ++c)
            out.palette[3 * i + c] = static_cast<std::uint8_t>(channel(palette[i], c));

    std::unordered_map<std::uint32_t, std::uint8_t> nearest;
    for (const ColourCount &colour : colours) {
        int best = 0;
        long bestDistance = -1;
        for (std::size_t k = 0; k < palette.size(); ++k) {
            long d = 0;
            for (int c = 0; c < 3; ++c) {
                long diff = channel(colour.rgb, c) - channel(palette[k], c);
                d += diff * diff;
            }
            if (bestDistance < 0 || d < bestDistance) {
                bestDistance = d;
                best = static_cast<int>(k);
            }
        }
        nearest[colour.rgb] = static_cast<std::uint8_t>(best);
    }
    for (std::size_t i = 0; i < count; ++i)
        out.indices[i] = nearest[packRgb(&image.rgb[3 * i])];
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

bool decodePcx(const std::vector<std::uint8_t> &file, IndexedImage &image, Report &report) {
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
    int w = get16(file, 8) - get16(file, 4) + 1;
    int h = get16(file, 10) - get16(file, 6) + 1;
    if (w < 1 || h < 1) {
        report.error("the picture's corners are crossed");
        return false;
    }
    if (get16(file, 66) != w)
        report.error("bytes per line is " + std::to_string(get16(file, 66)) + ", the viewer reads " +
                     std::to_string(w) + " per row");
    image.width = w;
    image.height = h;
    std::size_t count = static_cast<std::size_t>(w) * h;
    image.indices.assign(count, 0);
    std::size_t end = file.size() - PCX_PALETTE_SIZE;
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
    if (image.width != 640 || image.height != 480) {
        report.error("the start picture must be 640x480, not " + std::to_string(image.width) + "x" +
                     std::to_string(image.height));
        return false;
    }
    out = image.rgb;
    return true;
}

} // namespace orbex
