#include "picture/pictures.h"
#include "shell/assets.h"

#include <filesystem>

#include "base/config.h"
#include "base/settings.h"
#include "common/geometry.h"
#include "display/display.h"
#include "music/music.h"
#include "picture/pcx.h"
#include "picture/pixelformat.h"
#include "platform/headless/headless.h"
#include "platform/testing.h"
#include "shell/startup.h"
#include "shell/windowproc.h"
#include "support/magazine.h"
#include "support/modules.h"
#include "support/pictures.h"
#include "text/font.h"

namespace orbex::test {
namespace {

constexpr std::size_t PIXELS = 640 * 480;
constexpr char BACKGROUND_START[] =
    "ERROR (CODE 1): Konnte BackgroundPIC nicht lesen!!! Versuche den Viewer zu beenden ... Sollte dieser Fehler "
    "erneut auftreten informieren sie ";
constexpr char FONT_MISSING[] = "ERROR (CODE 3): Konnte die Chars nicht laden! Versuche den Orbex Viewer zu beenden...";

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb &) const = default;
};

std::uint16_t pack565(Rgb c) { return static_cast<std::uint16_t>((c.r >> 3) << 11 | (c.g >> 2) << 5 | (c.b >> 3)); }

Bytes startPicture() {
    Bytes raw(PIXELS * 3);
    for (std::size_t i = 0; i < PIXELS; ++i) {
        raw[3 * i] = static_cast<std::uint8_t>(i % 640);
        raw[3 * i + 1] = static_cast<std::uint8_t>(i / 640);
        raw[3 * i + 2] = static_cast<std::uint8_t>(i * 7);
    }
    return raw;
}

Bytes indexPattern(int width, int height, int seed) {
    Bytes out(static_cast<std::size_t>(width * height));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::uint8_t>((i / 5 + i / 640 * seed) % 256);
    return out;
}

Bytes reversedPalette() {
    Bytes p = testPalette();
    std::reverse(p.begin(), p.end());
    return p;
}

// Entry 0 black, 1 almost black, 2 a colour; pixels use 0, 1, 2 in turn, and
// the top-left two use the colour.
Bytes cursorPalette() {
    Bytes p(768, 0x80);
    for (int k = 0; k < 3; ++k)
        p[static_cast<std::size_t>(k)] = 0;
    p[3] = 1, p[4] = 0, p[5] = 0;
    p[6] = 200, p[7] = 100, p[8] = 50;
    return p;
}
Bytes cursorIndices() {
    Bytes out(32 * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            out[static_cast<std::size_t>(32 * y + x)] = static_cast<std::uint8_t>(y == 0 && x < 2 ? 2 : (x + y) % 3);
    return out;
}

Rgb paletteColour(const Bytes &palette, std::uint8_t k) {
    return {palette[3u * k], palette[3u * k + 1], palette[3u * k + 2]};
}

class AssetsTest : public ViewerTest {
  protected:
    void writeMagazine() {
        TestMagazine magazine;
        magazine.startPicture = startPicture();
        magazine.endPicture = encodePcx(640, 480, indexPattern(640, 480, 3), testPalette());
        magazine.background = encodePcx(640, 480, indexPattern(640, 480, 11), reversedPalette());
        magazine.pointer = encodePcx(32, 32, cursorIndices(), cursorPalette());
        magazine.font = fontFile(FONT_FILE_SIZE, [](int g, int, int r) { return g == 'A' && r == 3; });
        // Each test's own, with the set-up.
        magazine.config.reset();
        magazine.write();
    }
    // The display as the start-up makes it, then the set-up.
    void runSetUp(Bytes config) {
        writeFile("orbex.cfg", config);
        writeDemoModule("extreme2.xm", 0);
        ASSERT_EQ(doInit(nullptr, 0, viewerWindowProc, reportInitFailure), 1);
        initAssets(hViewerWindow);
    }
    static Rgb truePixel(const TrueColourPicture &p, std::size_t i) { return {p[3 * i + 2], p[3 * i + 1], p[3 * i]}; }
    static std::uint16_t packedPixel(const TrueColourPicture &p, std::size_t i) {
        return static_cast<std::uint16_t>(p[2 * i] | p[2 * i + 1] << 8);
    }
    static Rgb cursorPixel(int x, int y) {
        auto at = [](int offset) { return cursorColours[static_cast<std::size_t>(offset)]; };
        return {at(96 * x + y), at(96 * x + 32 + y), at(96 * x + 64 + y)};
    }
    static std::uint8_t mask(int x, int y) { return abCursorMask[static_cast<std::size_t>(32 * x + y)]; }
    // The pointer's colour as the set-up must make it, from the file's indices.
    static Rgb wantedCursor(int x, int y) {
        if (y == 0 && x < 2)
            return {0, 0, 0};
        return paletteColour(cursorPalette(), cursorIndices()[static_cast<std::size_t>(32 * y + x)]);
    }
};

TEST_F(AssetsTest, TwentyFourBitsGivesEveryPictureAsBlueGreenRed) {
    writeMagazine();
    runSetUp({2, 2, 0});
    ASSERT_EQ(SCREENCOLORS, 24);
    EXPECT_TRUE(headless::messageBoxes().empty());
    EXPECT_EQ(bQuitRequest, 0);

    Bytes raw = startPicture();
    Bytes outro = indexPattern(640, 480, 3), background = indexPattern(640, 480, 11);
    for (std::size_t i = 0; i < PIXELS; ++i) {
        ASSERT_EQ(truePixel(picIntro, i), (Rgb{raw[3 * i], raw[3 * i + 1], raw[3 * i + 2]})) << i;
        ASSERT_EQ(truePixel(picOutro, i), paletteColour(testPalette(), outro[i])) << i;
        ASSERT_EQ(truePixel(picBackground, i), paletteColour(reversedPalette(), background[i])) << i;
    }
    EXPECT_EQ(picBackgroundCopy, picBackground);

    for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 32; ++y) {
            ASSERT_EQ(cursorPixel(x, y), wantedCursor(x, y)) << x << "," << y;
            // Only pure black is transparent; (1, 0, 0) is not.
            ASSERT_EQ(mask(x, y), wantedCursor(x, y) == (Rgb{0, 0, 0}) ? 0 : 1) << x << "," << y;
        }
    EXPECT_EQ(mask(0, 0), 0);
    EXPECT_EQ(mask(1, 0), 0);
    EXPECT_EQ(FontBitmap['A' * GLYPH_BYTES + 3], 1);
    EXPECT_EQ(nPointerChoice, 0);
    EXPECT_EQ(nSampleRateCode, 2);
}

TEST_F(AssetsTest, SixteenBitsPacksEveryPictureAndThePointer) {
    writeMagazine();
    runSetUp({1, 3, 1});
    ASSERT_EQ(SCREENCOLORS, 16);
    Bytes raw = startPicture();
    Bytes outro = indexPattern(640, 480, 3), background = indexPattern(640, 480, 11);
    for (std::size_t i = 0; i < PIXELS; ++i) {
        ASSERT_EQ(packedPixel(picIntro, i), pack565({raw[3 * i], raw[3 * i + 1], raw[3 * i + 2]})) << i;
        ASSERT_EQ(packedPixel(picOutro, i), pack565(paletteColour(testPalette(), outro[i]))) << i;
        ASSERT_EQ(packedPixel(picBackground, i), pack565(paletteColour(reversedPalette(), background[i]))) << i;
    }
    EXPECT_TRUE(std::equal(picBackgroundCopy.begin(), picBackgroundCopy.begin() + PACKED_SIZE, picBackground.begin()));
    EXPECT_TRUE(std::all_of(picBackgroundCopy.begin() + PACKED_SIZE, picBackgroundCopy.end(),
                            [](std::uint8_t b) { return b == 0; }));
    for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 32; ++y) {
            std::uint16_t want = pack565(wantedCursor(x, y));
            ASSERT_EQ(cursorColours[static_cast<std::size_t>(64 * x + y)], want & 0xFF) << x << "," << y;
            ASSERT_EQ(cursorColours[static_cast<std::size_t>(64 * x + 32 + y)], want >> 8) << x << "," << y;
            ASSERT_EQ(mask(x, y), wantedCursor(x, y) == (Rgb{0, 0, 0}) ? 0 : 1) << x << "," << y;
        }
}

TEST_F(AssetsTest, AnUnknownSixteenBitLayoutMakesEveryPictureBlack) {
    writeMagazine();
    setMasks16(0x0F00, 0x00F0, 0x000F);
    runSetUp({1, 3, 1});
    auto blackPacked = [](const TrueColourPicture &p) {
        return std::all_of(p.begin(), p.begin() + PACKED_SIZE, [](std::uint8_t b) { return b == 0; });
    };
    EXPECT_TRUE(blackPacked(picIntro));
    EXPECT_TRUE(blackPacked(picOutro));
    EXPECT_TRUE(blackPacked(picBackground));
    EXPECT_TRUE(std::all_of(cursorColours.begin(), cursorColours.begin() + 2048, [](std::uint8_t b) { return !b; }));
    // The mask still comes from the pointer's true colours.
    for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 32; ++y)
            ASSERT_EQ(mask(x, y), wantedCursor(x, y) == (Rgb{0, 0, 0}) ? 0 : 1) << x << "," << y;
}

TEST_F(AssetsTest, AMissingBackgroundRepeatsTheEndPictureAndEndsTheViewer) {
    writeMagazine();
    std::filesystem::remove("data/BG_8b.pcx");
    std::filesystem::remove("data/chars.168");
    runSetUp({1, 2, 1});
    const auto &boxes = headless::messageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    // The background's message comes first, then the font's.
    EXPECT_EQ(boxes[0].rfind(BACKGROUND_START, 0), 0u) << boxes[0];
    EXPECT_GT(boxes[0].size(), sizeof BACKGROUND_START);
    EXPECT_EQ(boxes[1], FONT_MISSING);
    EXPECT_EQ(bQuitRequest, 1);
    EXPECT_EQ(picBackground, picOutro);
    EXPECT_TRUE(std::all_of(picBackgroundCopy.begin(), picBackgroundCopy.end(), [](std::uint8_t b) { return !b; }));
    // The rest of the set-up still ran.
    EXPECT_EQ(cursorPixel(5, 5), wantedCursor(5, 5));
}

TEST_F(AssetsTest, MissingStartEndAndPointerPicturesAreSilent) {
    writeMagazine();
    for (const char *name : {"data/begin.raw", "data/ende.pcx", "data/cursor.pcx"})
        std::filesystem::remove(name);
    runSetUp({1, 2, 1});
    EXPECT_TRUE(headless::messageBoxes().empty());
    EXPECT_TRUE(std::all_of(picIntro.begin(), picIntro.end(), [](std::uint8_t b) { return !b; }));
    EXPECT_TRUE(std::all_of(picOutro.begin(), picOutro.end(), [](std::uint8_t b) { return !b; }));
    // Every pointer pixel takes entry 0 of the background's palette.
    Rgb entry0 = paletteColour(reversedPalette(), 0);
    ASSERT_NE(entry0, (Rgb{0, 0, 0}));
    for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 32; ++y) {
            bool forced = y == 0 && x < 2;
            ASSERT_EQ(cursorPixel(x, y), forced ? (Rgb{0, 0, 0}) : entry0);
            ASSERT_EQ(mask(x, y), forced ? 0 : 1);
        }
}

TEST_F(AssetsTest, AShortStartPictureEndsInWhite) {
    writeMagazine();
    writeFile("data/begin.raw", Bytes{10, 20, 30, 40});
    runSetUp({1, 2, 1});
    EXPECT_EQ(truePixel(picIntro, 0), (Rgb{10, 20, 30}));
    EXPECT_EQ(truePixel(picIntro, 1), (Rgb{40, 255, 255}));
    EXPECT_EQ(truePixel(picIntro, PIXELS - 1), (Rgb{255, 255, 255}));
}

TEST_F(AssetsTest, TheMusicStartCreatesTheConfigurationBeforeThePointerChoiceIsRead) {
    writeMagazine();
    ASSERT_EQ(doInit(nullptr, 0, viewerWindowProc, reportInitFailure), 1);
    nPointerChoice = 7;
    initAssets(hViewerWindow);
    EXPECT_EQ(readFile("orbex.cfg"), (Bytes{1, 1, 1}));
    EXPECT_EQ(nPointerChoice, 1);

    // Music off: no file, and the choice keeps its value.
    resetViewer();
    std::filesystem::remove("orbex.cfg");
    bMusicOn = 0;
    ASSERT_EQ(doInit(nullptr, 0, viewerWindowProc, reportInitFailure), 1);
    nPointerChoice = 7;
    initAssets(hViewerWindow);
    EXPECT_FALSE(std::filesystem::exists("orbex.cfg"));
    EXPECT_EQ(nPointerChoice, 7);
}

} // namespace
} // namespace orbex::test
