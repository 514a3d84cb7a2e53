// The scroll bar in the background picture, the header lines, the
// frame-rate line and the pointer picture.
#include <cstring>

#include "base/config.h"
#include "base/settings.h"
#include "common/geometry.h"
#include "picture/pictures.h"
#include "picture/pixelformat.h"
#include "present/frame.h"
#include "present/input.h"
#include "present/overlay.h"
#include "shell/assets.h"
#include "shell/windowproc.h"
#include "support/page_files.h"
#include "text/archive.h"

namespace orbex::test {
namespace {

class OverlayTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        loadMarkerFont();
        SCREENCOLORS = 24;
        nRedBits = 5;
        nGreenBits = 6;
        nBlueBits = 5;
    }

    // Pixel (x, y) of picBackground at 24 bits as 0xRRGGBB.
    static std::uint32_t background(int x, int y) {
        const std::uint8_t *p = picBackground.data() + (static_cast<std::size_t>(y) * 640 + x) * 3;
        return rgb(p[2], p[1], p[0]);
    }

    // The rows of column x that hold the thumb colour.
    static std::pair<int, int> thumbRows(int x, std::uint32_t colour) {
        int first = -1, last = -1;
        for (int y = 0; y < 480; ++y)
            if (background(x, y) == colour) {
                if (first < 0)
                    first = y;
                last = y;
            }
        return {first, last};
    }

    static void setPointer(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        abCursorMask.fill(1);
        for (int x = 0; x < 32; ++x)
            for (int y = 0; y < 32; ++y) {
                cursorColours[static_cast<std::size_t>(96 * x + y)] = red;
                cursorColours[static_cast<std::size_t>(96 * x + 32 + y)] = green;
                cursorColours[static_cast<std::size_t>(96 * x + 64 + y)] = blue;
            }
    }

    static int pixelsWith(const TestFrame &frame, std::uint32_t value) {
        int n = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                n += frame.pixel(x, y) == value ? 1 : 0;
        return n;
    }
};

TEST_F(OverlayTest, ThumbRowsAndColourAt24Bits) {
    nLineCount = 100;
    ScrollPosition = 0.0f;
    drawScrollBar();
    for (int x = 637; x <= 639; ++x)
        EXPECT_EQ(thumbRows(x, rgb(100, 50, 0)), std::make_pair(200, 239));
    EXPECT_EQ(background(636, 210), 0u);

    ScrollPosition = 50.0f;
    drawScrollBar();
    // The previous thumb is gone: the strip was restored first.
    EXPECT_EQ(thumbRows(638, rgb(100, 50, 0)), std::make_pair(-1, -1));
    EXPECT_EQ(thumbRows(638, rgb(125, 50, 0)), std::make_pair(325, 364));

    nLineCount = 10;
    ScrollPosition = 0.0f;
    drawScrollBar();
    EXPECT_EQ(thumbRows(639, rgb(100, 50, 0)), std::make_pair(200, 479));

    // One edge-scroll step of 0.4: the float 0.4 is a hair above 0.4, so the
    // thumb reaches just past row 241 and row 241 is drawn, although
    // (0.4f + 16) * 250 / 100 computed in floats stays below 41.
    nLineCount = 100;
    ScrollPosition = 0.4f;
    drawScrollBar();
    EXPECT_EQ(thumbRows(637, rgb(100, 50, 0)), std::make_pair(201, 241));
}

TEST_F(OverlayTest, StripIsRestoredFromTheCopyAndNothingAboveItIsTouched) {
    for (std::size_t i = 0; i < picBackgroundCopy.size(); ++i)
        picBackgroundCopy[i] = static_cast<std::uint8_t>(i * 7);
    picBackground.fill(0xEE);
    nLineCount = 0;
    drawScrollBar();
    for (int y = 185; y < 480; ++y)
        ASSERT_EQ(
            std::memcmp(picBackground.data() + (y * 640 + 637) * 3, picBackgroundCopy.data() + (y * 640 + 637) * 3, 9),
            0);
    EXPECT_EQ(background(637, 184), 0xEEEEEEu);
    EXPECT_EQ(background(636, 300), 0xEEEEEEu);

    // Page Down in an article of 10 lines: position -5, thumb rows 75 to 474,
    // of which only the strip's are drawn; nothing is left above it.
    nLineCount = 10;
    ScrollPosition = -5.0f;
    drawScrollBar();
    EXPECT_EQ(thumbRows(637, rgb(75, 50, 0)), std::make_pair(185, 474));
    for (int y = 0; y < 185; ++y)
        ASSERT_EQ(background(638, y), 0xEEEEEEu) << y;
}

TEST_F(OverlayTest, ThumbRedWrapsAtEightBitsAtANegativePosition) {
    // An article of one line after Page Down: position 1 - 15 = -14, red
    // 100 + trunc(-14 / 1 * 50) = -600, kept to 8 bits: 168.
    nLineCount = 1;
    ScrollPosition = 0.0f;
    viewerWindowProc(nullptr, WM_KEYDOWN, VK_NEXT, 1);
    ASSERT_EQ(ScrollPosition, -14.0f);
    drawScrollBar();
    EXPECT_EQ(thumbRows(637, rgb(168, 50, 0)), std::make_pair(185, 479));
    EXPECT_EQ(thumbRows(639, rgb(168, 50, 0)), std::make_pair(185, 479));
}

TEST_F(OverlayTest, MovingThumbAt16BitsLeavesNoTrail) {
    SCREENCOLORS = 16;
    // A strip with a pattern of its own, so a wrong restore shows.
    for (std::size_t i = 0; i < PACKED_SIZE; ++i)
        picBackgroundCopy[i] = static_cast<std::uint8_t>(i * 13 + 1);
    std::copy(picBackgroundCopy.begin(), picBackgroundCopy.end(), picBackground.begin());
    nLineCount = 100;
    for (float position : {0.0f, 30.0f, 84.5f, 12.0f}) {
        ScrollPosition = position;
        drawScrollBar();
    }
    // Only the thumb of the last position differs from the copy.
    const int first = 200 + 250 * 12 / 100, last = 200 + 250 * 28 / 100 - 1;
    for (int y = 0; y < 480; ++y)
        for (int x = 600; x < 640; ++x) {
            const std::size_t o = (static_cast<std::size_t>(y) * 640 + static_cast<std::size_t>(x)) * 2;
            const bool thumb = x >= 637 && y >= first && y <= last;
            const int word = picBackground[o] | picBackground[o + 1] << 8;
            if (thumb)
                ASSERT_EQ(word, 0x6180) << x << "," << y;
            else
                ASSERT_EQ(std::memcmp(picBackground.data() + o, picBackgroundCopy.data() + o, 2), 0) << x << "," << y;
        }
}

TEST_F(OverlayTest, PositionTooLargeForWholeRowsDrawsNoThumb) {
    nLineCount = 1;
    ScrollPosition = 100000.0f; // 25,000,000 rows down: adding 1 changes nothing
    drawScrollBar();
    for (int y = 0; y < 480; ++y)
        ASSERT_EQ(background(637, y), 0u);
}

TEST_F(OverlayTest, ThumbAt16BitsIsPackedAndKeepsItsColour) {
    SCREENCOLORS = 16;
    nLineCount = 100;
    ScrollPosition = 50.0f;
    drawScrollBar();
    auto at = [](int x, int y) {
        const std::uint8_t *p = picBackground.data() + (static_cast<std::size_t>(y) * 640 + x) * 2;
        return p[0] | p[1] << 8;
    };
    EXPECT_EQ(at(637, 324), 0);
    EXPECT_EQ(at(637, 325), 0x6180);
    EXPECT_EQ(at(639, 364), 0x6180);
    EXPECT_EQ(at(639, 365), 0);
    // Nothing is written at the 24-bit offsets of the strip.
    EXPECT_EQ(background(637, 325), 0u);
}

// Cells of one line only: the author's and the title's overlap on the row.
std::vector<Cell> cellsBetween(const TestFrame &frame, int phase, int from, int to) {
    std::vector<Cell> cells;
    for (const Cell &c : readCells(frame, phase))
        if (c.x >= from && c.x < to)
            cells.push_back(c);
    return cells;
}

TEST_F(OverlayTest, HeaderLinesOnlyOffTheContentsPage) {
    std::strcpy(szAuthor.data(), "Ann");
    std::strcpy(szTitle.data(), "Hello");
    nTitleLength = 5;
    nArticle = 1;
    TestFrame frame;
    drawHeaderLines(frame.locked());
    EXPECT_TRUE(readCells(frame, 7).empty());
    EXPECT_TRUE(readCells(frame, 2).empty());

    nArticle = 3;
    drawHeaderLines(frame.locked());
    auto author = cellsBetween(frame, 7, 0, 500);
    EXPECT_EQ(textAt(author, 180), "Autor:Ann");
    EXPECT_EQ(author.front().x, 15);
    auto title = cellsBetween(frame, 2, 520, 640);
    EXPECT_EQ(textAt(title, 180), "Titel:Hello");
    // Right-aligned: the last character's cell covers x = 618 to 625.
    EXPECT_EQ(title.front().x, 570 - 40);
    EXPECT_EQ(title.back().x, 618);
    EXPECT_EQ(title.back().colour, 0xFFFFFFu);

    frame = TestFrame();
    std::strcpy(szTitle.data(), std::string(50, 'L').c_str());
    nTitleLength = 50;
    drawHeaderLines(frame.locked());
    title = cellsBetween(frame, 2, 100, 640);
    EXPECT_EQ(title.front().x, 170);
    EXPECT_EQ(textAt(title, 180), "Titel:" + std::string(50, 'L'));
}

TEST_F(OverlayTest, HeaderLinesDrawTheZerosBehindTheText) {
    loadMarkerFont(false);
    std::strcpy(szAuthor.data(), "Ann");
    nTitleLength = 50;
    nArticle = 2;
    TestFrame frame;
    drawHeaderLines(frame.locked());
    EXPECT_EQ(textAt(cellsBetween(frame, 7, 0, 165), 180), std::string("Autor:Ann") + std::string(9, '\0'));
}

TEST_F(OverlayTest, FrameRateLineHasOneZeroAfterTheText) {
    loadMarkerFont(false);
    dwFrames = 61.0f;
    TestFrame frame;
    drawFrameRate(frame.locked());
    EXPECT_TRUE(readCells(frame, 2).empty());
    bShowFrameRate = 1;
    drawFrameRate(frame.locked());
    auto cells = readCells(frame, 2);
    EXPECT_EQ(textAt(cells, 465), std::string("dwFrames61.000000") + '\0');
    EXPECT_EQ(cells.front().x, 10);
    EXPECT_EQ(cells.back().x, 10 + 8 * 18);
}

TEST_F(OverlayTest, PointerFadesInThenBlendsHalf) {
    nPointerChoice = 1;
    setPointer(255, 255, 255);
    TestFrame frame;
    std::fill(frame.pixels.begin(), frame.pixels.end(), 255);
    nMouseX = 100;
    nMouseY = 100;
    dwTotalFrames = 50;
    drawPointer(frame.locked());
    EXPECT_EQ(frame.pixel(100, 100), rgb(250, 250, 250));
    EXPECT_EQ(frame.pixel(131, 131), rgb(250, 250, 250));
    EXPECT_EQ(frame.pixel(132, 131), 0xFFFFFFu);

    std::fill(frame.pixels.begin(), frame.pixels.end(), 0);
    setPointer(200, 100, 10);
    dwTotalFrames = 51;
    drawPointer(frame.locked());
    EXPECT_EQ(frame.pixel(110, 110), rgb(100, 50, 5));
    // Early frames: ((s + p) / 100) * frame, kept to 8 bits.
    dwTotalFrames = 3;
    std::fill(frame.pixels.begin(), frame.pixels.end(), 0);
    drawPointer(frame.locked());
    EXPECT_EQ(frame.pixel(110, 110), rgb(6, 3, 0));
    dwTotalFrames = 0;
    drawPointer(frame.locked());
    EXPECT_EQ(frame.pixel(110, 110), 0u);
}

TEST_F(OverlayTest, PointerMaskEdgesAndSwitches) {
    nPointerChoice = 1;
    setPointer(255, 255, 255);
    abCursorMask[0] = 0; // (0, 0) transparent
    dwTotalFrames = 100;
    TestFrame frame;
    nMouseX = 630;
    nMouseY = 470;
    drawPointer(frame.locked());
    EXPECT_EQ(pixelsWith(frame, rgb(127, 127, 127)), 99);

    frame = TestFrame();
    nMouseX = 0;
    nMouseY = 0;
    drawPointer(frame.locked());
    // Column 0 of the screen never gets pointer pixels.
    EXPECT_EQ(frame.pixel(0, 5), 0u);
    EXPECT_EQ(frame.pixel(1, 5), rgb(127, 127, 127));
    EXPECT_EQ(pixelsWith(frame, rgb(127, 127, 127)), 31 * 32);

    frame = TestFrame();
    nMouseX = -5;
    nMouseY = -10;
    drawPointer(frame.locked());
    EXPECT_EQ(pixelsWith(frame, rgb(127, 127, 127)), 26 * 22);

    for (auto [x, y, on, choice] : {std::tuple{640, 10, 1, 1}, std::tuple{10, 480, 1, 1}, std::tuple{10, 10, 0, 1},
                                    std::tuple{10, 10, 1, 0}, std::tuple{10, 10, 1, 2}}) {
        frame = TestFrame();
        nMouseX = x;
        nMouseY = y;
        bPointerOn = static_cast<std::uint8_t>(on);
        nPointerChoice = static_cast<std::uint8_t>(choice);
        drawPointer(frame.locked());
        EXPECT_EQ(pixelsWith(frame, 0), 640 * 480) << x << "," << y << "," << on << "," << choice;
    }
}

TEST_F(OverlayTest, PointerAt16BitsIsCopiedPacked) {
    nPointerChoice = 1;
    abCursorMask.fill(0);
    abCursorMask[32 * 3 + 4] = 1;
    cursorColours[64 * 3 + 4] = 0x34;
    cursorColours[64 * 3 + 32 + 4] = 0x12;
    dwTotalFrames = 1;
    TestFrame frame(16, 6);
    std::fill(frame.pixels.begin(), frame.pixels.end(), 0xFF);
    nMouseX = 20;
    nMouseY = 30;
    drawPointer(frame.locked());
    EXPECT_EQ(frame.pixel(23, 34), 0x1234u);
    EXPECT_EQ(pixelsWith(frame, 0xFFFF), 640 * 480 - 1);
}

} // namespace
} // namespace orbex::test
