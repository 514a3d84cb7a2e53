// Any bytes as a PNG source for orbex-tool's picture commands: read whole,
// read as a screen picture and as a pointer with every fit, and the pointer
// taken on through quantizing and the PCX writer, whose output must decode
// to the same picture (a difference stops the run as a finding). The chunks'
// checksums are made right first, so that mutations reach the decoder
// instead of failing libpng's checksum test.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "images.h"
#include "support.h"

namespace {

using namespace orbex;

std::uint32_t crc32(const std::uint8_t *data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// Every whole chunk after the signature gets the checksum of its type and data.
void fixChecksums(std::vector<std::uint8_t> &png) {
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint64_t length = std::uint64_t{png[at]} << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        if (length > png.size() - at - 12)
            return;
        const std::size_t end = at + 8 + static_cast<std::size_t>(length);
        const std::uint32_t crc = crc32(png.data() + at + 4, 4 + static_cast<std::size_t>(length));
        for (int k = 0; k < 4; ++k)
            png[end + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
        at = end + 4;
    }
}

void pointerRoundTrip(const RgbImage &image) {
    Report report;
    IndexedImage indexed = quantize(image, report, QuantizeOptions{false, true});
    std::vector<std::uint8_t> pcx;
    if (!report.ok() || !encodePcx(indexed, pcx, report))
        return;
    IndexedImage back;
    Report decoded;
    if (!decodePcx(pcx, back, decoded, 32, 32) || !decoded.ok() || back.indices != indexed.indices ||
        back.palette != indexed.palette) {
        std::fprintf(stderr, "the pointer's PCX does not decode to the picture written\n");
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::enterScratchFolder("png");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::vector<std::uint8_t> png(data, data + size);
    fixChecksums(png);
    if (!fuzz::writeFile("in.png", png))
        return 0;
    {
        RgbImage image;
        Report report;
        readPng("in.png", image, report);
    }
    for (Fit fit : {Fit::None, Fit::Scale, Fit::Pad}) {
        RgbImage screen;
        Report report;
        readPicture("in.png", PictureKind::Screen, fit, screen, report);
        RgbImage pointer;
        if (readPicture("in.png", PictureKind::Pointer, fit, pointer, report))
            pointerRoundTrip(pointer);
    }
    return 0;
}
