// Any bytes as a PNG source for orbex-tool's picture commands: read whole,
// read as a screen picture and as a pointer with every fit, and the pointer
// taken on through quantizing and the PCX writer, whose output must decode
// to the same picture (a difference stops the run as a finding).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "images.h"
#include "support.h"

namespace {

using namespace orbex;

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
    if (!fuzz::writeFile("in.png", data, size))
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
