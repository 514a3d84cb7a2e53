// The orbex binary run headless on a magazine of real pictures: the start
// picture reaches the screen pixel for pixel, and a missing background ends
// the run by itself.
#include <png.h>

#include <filesystem>

#include "platform/png.h"
#include "support/magazine.h"
#include "support/pictures.h"

namespace orbex::test {
namespace {

Bytes readPngRgb(const char *path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path))
        return {};
    image.format = PNG_FORMAT_RGB;
    Bytes rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) || image.width != 640 || image.height != 480)
        return {};
    return rgb;
}

// A gradient under a checkerboard with a white frame: easy to recognise.
Bytes startPicture() {
    Bytes raw(640 * 480 * 3);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            std::uint8_t *p = raw.data() + 3 * (640 * y + x);
            bool border = x < 4 || y < 4 || x >= 636 || y >= 476;
            p[0] = border ? 255 : static_cast<std::uint8_t>(x * 255 / 639);
            p[1] = border ? 255 : static_cast<std::uint8_t>(y * 255 / 479);
            p[2] = border ? 255 : ((x / 40 + y / 40) % 2 ? 200 : 40);
        }
    return raw;
}

Bytes stripes(int width, int height, int period) {
    Bytes out(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out[static_cast<std::size_t>(y * width + x)] = static_cast<std::uint8_t>((x + y) / period % 256);
    return out;
}

class PicturesEndToEndTest : public ViewerTest {
  protected:
    struct Outcome {
        RunResult run;
        std::string stderrText;
    };

    // The viewer headless on script in the test's folder, without logging or
    // music letters.
    Outcome runViewer(const std::string &script) {
        writeFile("script.txt", script);
        Outcome outcome{runProgram(headlessRun("")), {}};
        outcome.stderrText = readText("stderr.txt");
        return outcome;
    }

    // Real pictures in every place, and the sample magazine's articles.
    static TestMagazine picturesMagazine() {
        TestMagazine magazine;
        magazine.startPicture = startPicture();
        magazine.background = encodePcx(640, 480, stripes(640, 480, 16), testPalette());
        magazine.endPicture = encodePcx(640, 480, stripes(640, 480, 4), testPalette());
        magazine.pointer = encodePcx(32, 32, stripes(32, 32, 1), testPalette());
        magazine.font = fontFile(32768, [](int, int c, int r) { return c == r % 8; });
        std::filesystem::path sample = std::filesystem::path(ORBEX_SAMPLE_MAGAZINE) / "data" / "orbex.dat";
        if (std::filesystem::exists(sample))
            magazine.archive = readText(sample);
        else
            magazine.archive = "Inhalt\nRedaktion\n\nText.\n\x9E";
        return magazine;
    }
};

TEST_F(PicturesEndToEndTest, TheStartPictureReachesTheScreenAtTwentyFourBits) {
    TestMagazine magazine = picturesMagazine();
    magazine.config = Bytes{1, 2, 1};
    magazine.write();
    Outcome run = runViewer("frames 2\nshot a.png\n");
    ASSERT_EQ(run.run.status(), 0) << run.stderrText;
    Bytes shot = readPngRgb("a.png");
    ASSERT_EQ(shot.size(), 640u * 480 * 3);
    EXPECT_TRUE(shot == startPicture());
}

TEST_F(PicturesEndToEndTest, TheStartPictureReachesTheScreenPackedAtSixteenBits) {
    TestMagazine magazine = picturesMagazine();
    magazine.config = Bytes{1, 3, 1};
    magazine.write();
    Outcome run = runViewer("frames 2\nshot a.png\n");
    ASSERT_EQ(run.run.status(), 0) << run.stderrText;
    Bytes raw = startPicture();
    Bytes packed(640 * 480 * 2);
    for (std::size_t i = 0; i < 640 * 480; ++i) {
        unsigned word = (raw[3 * i] >> 3) << 11 | (raw[3 * i + 1] >> 2) << 5 | raw[3 * i + 2] >> 3;
        packed[2 * i] = static_cast<std::uint8_t>(word & 0xFF);
        packed[2 * i + 1] = static_cast<std::uint8_t>(word >> 8);
    }
    Bytes want = frameToRgb(FrameView{packed.data(), 640, 480, 640 * 2, 16, 0xF800, 0x07E0, 0x001F});
    Bytes shot = readPngRgb("a.png");
    ASSERT_EQ(shot.size(), want.size());
    EXPECT_TRUE(shot == want);
}

TEST_F(PicturesEndToEndTest, AMissingBackgroundIsReportedAndTheRunEndsByItself) {
    TestMagazine magazine = picturesMagazine();
    magazine.background.reset();
    magazine.config = Bytes{1, 2, 1};
    magazine.write();
    // The viewer closes at the next window message (here the pointer's
    // move), so the second shot is never taken.
    Outcome run = runViewer("frames 2\nshot a.png\nmove 5 5\nframes 50\nshot b.png\n");
    ASSERT_EQ(run.run.status(), 0) << run.stderrText;
    EXPECT_NE(run.stderrText.find("ORBEX 5: ERROR (CODE 1): Konnte BackgroundPIC nicht lesen!!! Versuche den Viewer "
                                  "zu beenden ... Sollte dieser Fehler erneut auftreten informieren sie "),
              std::string::npos)
        << run.stderrText;
    EXPECT_FALSE(std::filesystem::exists("b.png"));
}

} // namespace
} // namespace orbex::test
