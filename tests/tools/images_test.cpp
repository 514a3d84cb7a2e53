// The tools' pictures: PCX written and read back through the viewer's
// readers, colour reduction, the pointer's transparent black, and sources
// of the wrong shape.
#include <algorithm>
#include <random>

#include "images.h"
#include "picture/pcx.h"
#include "picture/pictures.h"
#include "platform/headless/headless.h"
#include "shell/assets.h"
#include "support/reports.h"
#include "support/toolpictures.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

class ImagesTest : public ViewerTest {};

TEST_F(ImagesTest, WrittenPcxReadsBackThroughTheViewersReaders) {
    Report report;
    IndexedImage picture = testPattern(640, 480);
    std::vector<std::uint8_t> file;
    ASSERT_TRUE(encodePcx(picture, file, report));
    EXPECT_EQ(file[1], 5);
    EXPECT_EQ(file[2], 1);
    EXPECT_EQ(file[3], 8);
    EXPECT_EQ(file[65], 1);
    EXPECT_EQ(file[66] | (file[67] << 8), 640);
    EXPECT_EQ(file[file.size() - 769], 0x0C);
    ASSERT_TRUE(writeBytes("data/BG_8b.pcx", file));
    readPcx("data/BG_8b.pcx", PCX_READ_PALETTE, 0, 0);
    EXPECT_TRUE(std::equal(picPcx.begin(), picPcx.end(), picture.indices.begin()));
    EXPECT_TRUE(std::equal(palPcx.begin(), palPcx.end(), picture.palette.begin()));

    IndexedImage pointer = testPattern(32, 32);
    ASSERT_TRUE(encodePcx(pointer, file, report));
    ASSERT_TRUE(writeBytes("data/cursor.pcx", file));
    readCursorPcx("data/cursor.pcx", PCX_READ_PALETTE, 0, 0);
    for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 32; ++y)
            ASSERT_EQ(abCursorMask[x * 32 + y], pointer.indices[y * 32 + x]) << x << "," << y;

    // The tool's own decoder agrees, for check.
    IndexedImage back;
    ASSERT_TRUE(decodePcx(file, back, report));
    EXPECT_EQ(back.indices, pointer.indices);
    EXPECT_TRUE(report.ok());
}

TEST_F(ImagesTest, QuantizeKeepsFewColoursExactlyAndCutsManyTo256) {
    Report report;
    RgbImage few{4, 2, {1, 2, 3, 200, 0, 0, 1, 2, 3, 0, 0, 0, 9, 9, 9, 200, 0, 0, 0, 0, 0, 1, 2, 3}};
    IndexedImage indexed = quantize(few, report);
    for (int i = 0; i < 8; ++i)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(indexed.palette[3 * indexed.indices[i] + c], few.rgb[3 * i + c]);
    EXPECT_TRUE(report.warnings.empty());

    RgbImage many{64, 64, {}};
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            many.rgb.insert(many.rgb.end(), {static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 4),
                                             static_cast<std::uint8_t>(128)});
    for (bool dither : {false, true}) {
        Report reduced;
        indexed = quantize(many, reduced, {dither, false});
        EXPECT_TRUE(hasWarning(reduced, "reduced to")) << dither;
        EXPECT_TRUE(reduced.ok());
        long total = 0;
        for (std::size_t i = 0; i < 64 * 64; ++i)
            for (int c = 0; c < 3; ++c)
                total += std::abs(indexed.palette[3 * indexed.indices[i] + c] - many.rgb[3 * i + c]);
        EXPECT_LT(total / (64 * 64 * 3), 6) << dither;
    }
}

// The viewer shows pure black in the pointer as transparent: reducing the
// colours must neither punch holes into it nor fill its transparent parts.
TEST_F(ImagesTest, PointerKeepsItsTransparentBlackThroughColourReduction) {
    RgbImage pointer{32, 32, {}};
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0xFF; };
    for (int i = 0; i < 32 * 32; ++i) {
        std::uint32_t kind = next() % 4;
        std::uint8_t r = 0, g = 0, b = 0;
        if (kind == 1) // almost black, but opaque
            r = static_cast<std::uint8_t>(next() % 2), g = static_cast<std::uint8_t>(next() % 2), b = r + g == 0;
        else if (kind >= 2)
            r = static_cast<std::uint8_t>(next()), g = static_cast<std::uint8_t>(next()),
            b = static_cast<std::uint8_t>(next());
        pointer.rgb.insert(pointer.rgb.end(), {r, g, b});
    }
    for (bool dither : {false, true}) {
        Report report;
        IndexedImage indexed = quantize(pointer, report, {dither, true});
        ASSERT_TRUE(hasWarning(report, "reduced to")) << "more than 256 colours expected";
        for (int i = 0; i < 32 * 32; ++i) {
            const std::uint8_t *source = &pointer.rgb[3 * i];
            const std::uint8_t *shown = &indexed.palette[3 * indexed.indices[i]];
            bool sourceBlack = source[0] + source[1] + source[2] == 0;
            bool shownBlack = shown[0] + shown[1] + shown[2] == 0;
            ASSERT_EQ(sourceBlack, shownBlack) << "pixel " << i << " dither " << dither;
        }
    }
}

TEST_F(ImagesTest, PicturesOfTheWrongShapeAreRefused) {
    Report report;
    std::vector<std::uint8_t> out;
    EXPECT_FALSE(encodePcx(testPattern(31, 32), out, report));
    EXPECT_TRUE(hasError(report, "odd"));
    EXPECT_FALSE(encodeRaw(RgbImage{320, 200, std::vector<std::uint8_t>(320 * 200 * 3)}, out, report));
    EXPECT_TRUE(hasError(report, "640x480"));

    RgbImage start{640, 480, std::vector<std::uint8_t>(640 * 480 * 3)};
    start.rgb[0] = 10, start.rgb[1] = 20, start.rgb[2] = 30;
    Report fine;
    ASSERT_TRUE(writePng("start.png", start));
    RgbImage back;
    ASSERT_TRUE(readPng("start.png", back, fine));
    ASSERT_TRUE(encodeRaw(back, out, fine));
    ASSERT_EQ(out.size(), 921600u);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[2], 30);

    writeFile("broken.png", std::string("not a picture"));
    EXPECT_FALSE(readPng("broken.png", back, report));
    EXPECT_TRUE(hasError(report, "broken.png"));
    IndexedImage decoded;
    EXPECT_FALSE(decodePcx(std::vector<std::uint8_t>(100, 0x0A), decoded, report));
    ASSERT_TRUE(encodePcx(testPattern(64, 64), out, report));
    out.erase(out.begin() + 300, out.end() - 769);
    Report shortData;
    EXPECT_FALSE(decodePcx(out, decoded, shortData));
    EXPECT_TRUE(hasError(shortData, "ends early"));
}

} // namespace
} // namespace orbex::test
