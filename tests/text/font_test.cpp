#include "text/font.h"

#include "base/settings.h"
#include "picture/pixelformat.h"
#include "platform/headless/headless.h"
#include "shell/startup.h"
#include "support/pictures.h"

namespace orbex::test {
namespace {

constexpr char EARLY_END[] =
    "WARNUNG (CODE 7): Verfr\xFChtes ende der Chars.168!!! Versuche den Viewer dennoch zu starten...";

bool pattern(int g, int c, int r) { return (g + 2 * c + r) % 3 == 0; }
std::size_t at(int g, int c, int r) {
    return static_cast<std::size_t>(g) * GLYPH_BYTES + static_cast<std::size_t>(c * 32 + r);
}

class FontTest : public ViewerTest {};

TEST_F(FontTest, AWholeFontLoadsColumnByColumnWithoutAMessage) {
    writeFile("data/chars.168", fontFile(FONT_FILE_SIZE, pattern));
    loadFont();
    EXPECT_TRUE(headless::messageBoxes().empty());
    EXPECT_EQ(bQuitRequest, 0);
    for (int g = 0; g < 256; ++g)
        for (int c = 0; c < 8; ++c)
            for (int r = 0; r < 32; ++r)
                ASSERT_EQ(FontBitmap[at(g, c, r)], r < 16 && pattern(g, c, r) ? 1 : 0) << g << " " << c << " " << r;
}

TEST_F(FontTest, AnEarlyEndLeavesOne0xFFAndWarnsOnlyWhenMoreThanTheLastByteIsMissing) {
    auto all = [](int, int, int) { return true; };
    writeFile("data/chars.168", fontFile(FONT_FILE_SIZE - 1, all));
    loadFont();
    EXPECT_TRUE(headless::messageBoxes().empty());
    EXPECT_EQ(FontBitmap[at(255, 7, 15)], 0xFF);
    EXPECT_EQ(FontBitmap[at(255, 7, 14)], 1);

    resetViewer();
    writeFile("data/chars.168", fontFile(FONT_FILE_SIZE - 2, all));
    loadFont();
    EXPECT_EQ(headless::messageBoxes(), std::vector<std::string>{EARLY_END});
    EXPECT_EQ(FontBitmap[at(255, 7, 14)], 0xFF);
    EXPECT_EQ(FontBitmap[at(255, 7, 15)], 0);
    EXPECT_EQ(bQuitRequest, 0);

    resetViewer();
    writeFile("data/chars.168", Bytes{});
    loadFont();
    EXPECT_EQ(headless::messageBoxes(), std::vector<std::string>{EARLY_END});
    EXPECT_EQ(FontBitmap[0], 0xFF);
    for (std::size_t i = 1; i < FontBitmap.size(); ++i)
        ASSERT_EQ(FontBitmap[i], 0) << i;

    // Read in text mode: a byte 26 ends the file, a carriage return is dropped.
    resetViewer();
    writeFile("data/chars.168", Bytes{13, 7, 5, 26, 1, 1});
    loadFont();
    EXPECT_EQ(headless::messageBoxes(), std::vector<std::string>{EARLY_END});
    EXPECT_EQ(FontBitmap[0], 7);
    EXPECT_EQ(FontBitmap[1], 5);
    EXPECT_EQ(FontBitmap[2], 0xFF);
    EXPECT_EQ(FontBitmap[3], 0);
}

TEST_F(FontTest, AMissingFontEndsTheViewer) {
    loadFont();
    EXPECT_EQ(headless::messageBoxes(),
              std::vector<std::string>{
                  "ERROR (CODE 3): Konnte die Chars nicht laden! Versuche den Orbex Viewer zu beenden..."});
    EXPECT_EQ(bQuitRequest, 1);
    for (std::uint8_t b : FontBitmap)
        ASSERT_EQ(b, 0);
}

// A frame with a padded pitch, guard bytes on both sides, filled with 0x11.
struct TestFrame {
    static constexpr std::size_t GUARD = 4096;
    std::int32_t pitch;
    std::vector<std::uint8_t> bytes;
    explicit TestFrame(int bytesPerPixel)
        : pitch(640 * bytesPerPixel + 6), bytes(2 * GUARD + static_cast<std::size_t>(pitch) * 480, 0x11) {}
    // The frame at the depth of SCREENCOLORS when it is asked for.
    LockedFrame frame() { return {bytes.data() + GUARD, pitch}; }
    std::uint8_t at(std::int64_t offset) const { return bytes[static_cast<std::size_t>(GUARD + offset)]; }
    // Offsets changed from 0x11, relative to the frame's first byte.
    std::vector<std::int64_t> changed() const {
        std::vector<std::int64_t> out;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if (bytes[i] != 0x11)
                out.push_back(static_cast<std::int64_t>(i) - static_cast<std::int64_t>(GUARD));
        return out;
    }
};

// Glyph 'A': a diagonal, column c set at rows c and c + 8; every glyph the same.
void loadDiagonalFont() {
    writeFile("data/chars.168", fontFile(FONT_FILE_SIZE, [](int, int c, int r) { return r == c || r == c + 8; }));
    loadFont();
}

TEST_F(FontTest, SixteenBitGlyphsWritePackedPixelsLowByteFirstAndOnlyWhereSet) {
    loadDiagonalFont();
    SCREENCOLORS = 16;
    nRedBits = 5, nGreenBits = 6, nBlueBits = 5;
    TestFrame f(2);
    drawGlyph('A', 10, 20, f.frame(), 0, 50, 100);
    std::vector<std::int64_t> want;
    for (int c = 0; c < 8; ++c)
        for (int r : {c, c + 8}) {
            std::int64_t p = std::int64_t{20 + r} * f.pitch + (10 + c) * 2;
            want.push_back(p);
            want.push_back(p + 1);
            EXPECT_EQ(f.at(p), 0x80);
            EXPECT_EQ(f.at(p + 1), 0x61);
        }
    std::sort(want.begin(), want.end());
    EXPECT_EQ(f.changed(), want);
}

TEST_F(FontTest, TwentyFourBitGlyphsWriteBlueGreenRed) {
    loadDiagonalFont();
    SCREENCOLORS = 24;
    TestFrame f(3);
    drawGlyph('A', 632, 464, f.frame(), 1, 2, 3);
    std::vector<std::int64_t> want;
    for (int c = 0; c < 8; ++c)
        for (int r : {c, c + 8}) {
            std::int64_t p = std::int64_t{464 + r} * f.pitch + (632 + c) * 3;
            for (int k = 0; k < 3; ++k) {
                want.push_back(p + k);
                EXPECT_EQ(f.at(p + k), k + 1);
            }
        }
    std::sort(want.begin(), want.end());
    EXPECT_EQ(f.changed(), want);

    // A space draws nothing even when its glyph has set pixels; so does an
    // unknown depth.
    TestFrame g(3);
    drawGlyph(' ', 0, 0, g.frame(), 1, 2, 3);
    SCREENCOLORS = 8;
    drawGlyph('A', 0, 0, g.frame(), 1, 2, 3);
    EXPECT_TRUE(g.changed().empty());
}

TEST_F(FontTest, CellsAcrossTheFrameEdgesAreClippedThere) {
    writeFile("data/chars.168", fontFile(FONT_FILE_SIZE, [](int, int, int) { return true; }));
    loadFont();
    for (int depth : {16, 24}) {
        SCREENCOLORS = static_cast<std::uint8_t>(depth);
        nRedBits = 5, nGreenBits = 6, nBlueBits = 5;
        int bpp = depth / 8;
        struct Pos {
            std::int32_t x, y;
        };
        for (Pos pos : {Pos{-3, -5}, Pos{636, 470}, Pos{-8, 0}, Pos{640, 0}, Pos{0, 480}, Pos{INT32_MAX, INT32_MIN}}) {
            TestFrame f(bpp);
            drawGlyph('#', pos.x, pos.y, f.frame(), 255, 255, 255);
            std::vector<std::int64_t> want;
            for (std::int64_t y = std::int64_t{pos.y}; y < std::int64_t{pos.y} + 16; ++y)
                for (std::int64_t x = std::int64_t{pos.x}; x < std::int64_t{pos.x} + 8; ++x)
                    if (x >= 0 && x < 640 && y >= 0 && y < 480)
                        for (int k = 0; k < bpp; ++k)
                            want.push_back(y * f.pitch + x * bpp + k);
            std::sort(want.begin(), want.end());
            EXPECT_EQ(f.changed(), want) << depth << " at " << pos.x << "," << pos.y;
        }
    }
}

TEST_F(FontTest, StringsStopAtDollarAndDrawAtMostEightyCells) {
    // Only glyphs 'A', 'B' and 0 have a pixel, at column 0, row 0.
    writeFile("data/chars.168", fontFile(FONT_FILE_SIZE, [](int g, int c, int r) {
                  return (g == 'A' || g == 'B' || g == 0) && !c && !r;
              }));
    loadFont();
    SCREENCOLORS = 24;
    auto drawnColumns = [](const std::string &text) {
        Bytes buffer(80, 0);
        std::copy(text.begin(), text.end(), buffer.begin());
        TestFrame f(3);
        drawString(buffer.data(), 0, 0, f.frame(), 9, 9, 9);
        std::vector<std::int64_t> columns;
        for (std::int64_t offset : f.changed())
            if (offset % 3 == 0)
                columns.push_back(offset / 3);
        return columns;
    };
    EXPECT_TRUE(drawnColumns("$AB").empty());
    EXPECT_EQ(drawnColumns("A B$AB"), (std::vector<std::int64_t>{0, 16}));
    // Eighty cells, zero bytes included: glyph 0 is drawn, one pixel per cell.
    std::vector<std::int64_t> all;
    for (int i = 0; i < 80; ++i)
        all.push_back(8 * i);
    EXPECT_EQ(drawnColumns(""), all);
}

} // namespace
} // namespace orbex::test
