// The article page: where the pass puts every byte, the colour in force,
// link headers, hover zones and the press rules.
#include <algorithm>
#include <cmath>
#include <string>

#include "picture/pixelformat.h"
#include "present/article.h"
#include "present/input.h"
#include "shell/windowproc.h"
#include "support/page_files.h"
#include "text/archive.h"

namespace orbex::test {
namespace {

constexpr std::uint32_t WHITE = 0xFFFFFF;
constexpr std::uint32_t NORMAL = 0x1020C0;
constexpr std::uint32_t HOVER = 0xC02010;

class ArticleTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        loadMarkerFont();
        nMouseX = 0;
        nMouseY = 0;
    }

    static void setText(const std::string &text) {
        szText.fill(0);
        std::copy(text.begin(), text.end(), szText.begin());
        nTextLength = static_cast<std::int32_t>(text.size());
        ++dwSelections;
    }

    std::vector<Cell> draw(const std::string &text, float scroll = 0.0f) {
        setText(text);
        ScrollPosition = scroll;
        return drawNow();
    }

    std::vector<Cell> drawNow() {
        frame = TestFrame(24);
        drawArticle(frame.locked());
        return readCells(frame);
    }

    // Hover colour of the cell at (x, y) with the pointer at (mx, my).
    std::uint32_t colourWithPointer(const std::string &text, int mx, int my, int x, int y) {
        nMouseX = mx;
        nMouseY = my;
        auto cells = draw(text);
        const Cell *c = cellAt(cells, x, y);
        return c != nullptr ? c->colour : 0;
    }

    TestFrame frame{24};
};

TEST_F(ArticleTest, ColumnsStartAtOneAndLineFeedsTakeColumnZero) {
    auto cells = draw("AB\nCD");
    ASSERT_EQ(cells.size(), 5u);
    EXPECT_EQ(cells[0], (Cell{16, 206, 'A', WHITE}));
    EXPECT_EQ(cells[1], (Cell{24, 206, 'B', WHITE}));
    // The line feed is drawn as glyph 10 in column 0 of the line it starts.
    EXPECT_EQ(cells[2], (Cell{8, 222, '\n', WHITE}));
    EXPECT_EQ(cells[3], (Cell{16, 222, 'C', WHITE}));
    EXPECT_EQ(cells[4], (Cell{24, 222, 'D', WHITE}));
}

TEST_F(ArticleTest, WrapsAfterColumn76AndBreaksOnceForAFullLine) {
    auto cells = draw(std::string(80, 'x'));
    EXPECT_EQ(textAt(cells, 206), std::string(76, 'x'));
    EXPECT_EQ(cells[75].x, 616);
    // The wrapped byte sits in column 0.
    ASSERT_NE(cellAt(cells, 8, 222), nullptr);
    EXPECT_EQ(textAt(cells, 222), std::string(4, 'x'));

    cells = draw(std::string(76, 'y') + "\nZ" + "\r" + "W");
    EXPECT_EQ(textAt(cells, 206), std::string(76, 'y'));
    EXPECT_EQ(textAt(cells, 222), "\nZ");
    // A carriage return breaks the line like a line feed.
    EXPECT_EQ(cellAt(cells, 8, 238) ? *cellAt(cells, 8, 238) : Cell{}, (Cell{8, 238, '\r', WHITE}));
    EXPECT_EQ(codeAt(cells, 16, 238), 'W');
    EXPECT_EQ(textAt(cells, 254), "");
}

TEST_F(ArticleTest, ColourCodesTakeNoColumnAndAreAppliedAboveTheWindow) {
    auto cells = draw("AB" + colourCode(10, 20, 30) + "C");
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[2], (Cell{32, 206, 'C', rgb(10, 20, 30)}));

    // The second code byte is an ordinary character in the first code's column.
    cells = draw(colourCode(1, 2, 3) + colourCode(4, 5, 6) + "Z");
    ASSERT_EQ(cells.size(), 5u);
    EXPECT_EQ(cells[0], (Cell{16, 206, 0xA2, rgb(1, 2, 3)}));
    EXPECT_EQ(cells[1].code, 4);
    EXPECT_EQ(cells[3].code, 6);
    EXPECT_EQ(cells[4], (Cell{48, 206, 'Z', rgb(1, 2, 3)}));

    cells = draw("q" + colourCode(9, 99, 199) + "A\nB\nC", 2.0f);
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[1], (Cell{16, 206, 'C', rgb(9, 99, 199)}));
}

std::string numberedLines(int n) {
    std::string text = "a";
    for (int i = 1; i < n; ++i)
        text += std::string("\n") + static_cast<char>('a' + i);
    return text;
}

TEST_F(ArticleTest, FractionalAndNegativeScrollPositions) {
    auto cells = draw(numberedLines(20), 2.5f);
    EXPECT_EQ(cellAt(cells, 16, 198), nullptr);
    EXPECT_EQ(codeAt(cells, 16, 214), 'd'); // line 3
    EXPECT_EQ(codeAt(cells, 16, 438), 'r'); // line 17
    EXPECT_EQ(std::count_if(cells.begin(), cells.end(), [](const Cell &c) { return c.x == 16; }), 15);

    cells = draw(numberedLines(20), 16.0f);
    EXPECT_EQ(codeAt(cells, 16, 206), 'q');
    EXPECT_EQ(codeAt(cells, 16, 254), 't');

    cells = draw(numberedLines(20), -1.0f);
    EXPECT_EQ(codeAt(cells, 16, 222), 'a');
    EXPECT_EQ(codeAt(cells, 16, 446), 'o');
    EXPECT_EQ(std::count_if(cells.begin(), cells.end(), [](const Cell &c) { return c.x == 16; }), 15);

    cells = draw(numberedLines(20), -15.0f);
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0], (Cell{16, 446, 'a', WHITE}));

    // y is truncated from (line - position) * 16 + 206.
    cells = draw(numberedLines(3), 0.3f);
    EXPECT_EQ(codeAt(cells, 16, 217), 'b'); // (1 - 0.3) * 16 + 206 = 217.2

    // Where edge scrolling by 0.4 comes to rest above the top: not a whole
    // number, so 15 lines, although position + 15 rounds to 15 in a float.
    const float nearZero = -2.98023224e-07f;
    ASSERT_EQ(nearZero + 15.0f, 15.0f);
    cells = draw(numberedLines(20), nearZero);
    EXPECT_EQ(codeAt(cells, 16, 430), 'o'); // line 14
    EXPECT_EQ(cellAt(cells, 16, 446), nullptr);
    EXPECT_EQ(std::count_if(cells.begin(), cells.end(), [](const Cell &c) { return c.x == 16; }), 15);
}

TEST_F(ArticleTest, EmptyTextFillsTheWindowWithGlyphZero) {
    loadMarkerFont(false);
    auto cells = draw("");
    EXPECT_EQ(textAt(cells, 206), std::string(76, '\0'));
    EXPECT_EQ(textAt(cells, 446), std::string(77, '\0'));
    EXPECT_EQ(codeAt(cells, 8, 446), 0);
    EXPECT_EQ(textAt(cells, 462), "");
}

TEST_F(ArticleTest, ArticleLinkOneDigitHeader) {
    const std::string text = "AB" + articleLink("4", "0", NORMAL, HOVER, "Go") + "C";
    auto cells = draw(text);
    ASSERT_EQ(cells.size(), 5u);
    // The link text takes the opening code's column; the column after it stays empty.
    EXPECT_EQ(cells[2], (Cell{32, 206, 'G', NORMAL}));
    EXPECT_EQ(cells[3], (Cell{40, 206, 'o', NORMAL}));
    EXPECT_EQ(cells[4], (Cell{56, 206, 'C', WHITE}));
    EXPECT_EQ(text.find("Go"), 2u + 13u);
}

TEST_F(ArticleTest, ArticleLinkHoverZoneIsStrictOnEveryEdge) {
    // One-digit numbers and 7 characters: x from 8c + 9 to 8c + 63 (c = 3).
    const std::string text = "AB" + articleLink("4", "0", NORMAL, HOVER, "Seven!!") + "\nnext";
    EXPECT_EQ(colourWithPointer(text, 32, 214, 32, 206), NORMAL);
    EXPECT_EQ(colourWithPointer(text, 33, 214, 32, 206), HOVER);
    EXPECT_EQ(colourWithPointer(text, 87, 214, 32, 206), HOVER);
    EXPECT_EQ(colourWithPointer(text, 88, 214, 32, 206), NORMAL);
    EXPECT_EQ(colourWithPointer(text, 40, 206, 32, 206), NORMAL);
    EXPECT_EQ(colourWithPointer(text, 40, 207, 32, 206), HOVER);
    EXPECT_EQ(colourWithPointer(text, 40, 221, 32, 206), HOVER);
    EXPECT_EQ(colourWithPointer(text, 40, 222, 32, 206), NORMAL);
    // The whole link text changes colour, not just the cell under the pointer.
    EXPECT_EQ(colourWithPointer(text, 40, 214, 80, 206), HOVER);

    // On a scrolled page the zone follows the line: line 1 at 0.5 is at y = 214.
    const std::string lower = "x\n" + articleLink("4", "0", NORMAL, HOVER, "Seven!!");
    ScrollPosition = 0.5f;
    nMouseX = 40;
    nMouseY = 215;
    setText(lower);
    auto cells = drawNow();
    EXPECT_EQ(colourAt(cells, 16, 214), HOVER);
    nMouseY = 214;
    cells = drawNow();
    EXPECT_EQ(colourAt(cells, 16, 214), NORMAL);

    // Only t = (line - position) * 16 is a float; t + 206 and t + 222 are
    // not rounded again. Line 3 with t = 34 + 5/2^18: rows 241 to 256.
    const std::string third = "x\ny\nz\n" + articleLink("4", "0", NORMAL, HOVER, "Seven!!");
    setText(third);
    ScrollPosition = 0.875f - std::ldexp(5.0f, -22);
    nMouseY = 256;
    EXPECT_EQ(colourAt(drawNow(), 16, 240), HOVER);
    nMouseY = 257;
    EXPECT_EQ(colourAt(drawNow(), 16, 240), NORMAL);
    // t = 34 - 1/2^18: t + 206 lies just below 240, so row 240 is on the line.
    ScrollPosition = 0.875f + std::ldexp(1.0f, -22);
    nMouseY = 240;
    EXPECT_EQ(colourAt(drawNow(), 16, 240), HOVER);
    nMouseY = 239;
    EXPECT_EQ(colourAt(drawNow(), 16, 240), NORMAL);
}

TEST_F(ArticleTest, TwoDigitNumbersWidenTheZoneAndShiftTheText) {
    const std::string text = "AB" + articleLink("12", "34", NORMAL, HOVER, "Seven!!");
    EXPECT_EQ(text.find("Seven"), 2u + 15u);
    // Each two-digit number adds 8 pixels to the zone, past the drawn text.
    EXPECT_EQ(colourWithPointer(text, 103, 214, 32, 206), HOVER);
    EXPECT_EQ(colourWithPointer(text, 104, 214, 32, 206), NORMAL);
    auto cells = draw(text);
    EXPECT_EQ(textAt(cells, 206), "ABSeven!!");

    bLeftButton = 1;
    nMouseX = 40;
    nMouseY = 214;
    nArticle = 2;
    draw(text);
    EXPECT_EQ(nArticle, 12);
    EXPECT_EQ(ScrollPosition, 34.0f);
    EXPECT_EQ(bLinkTaken, 1);
}

TEST_F(ArticleTest, MixedDigitCountsParse) {
    bLeftButton = 1;
    nMouseX = 40;
    nMouseY = 214;
    for (auto [n, l, wantN, wantL] :
         {std::tuple{"12", "3", 12, 3}, std::tuple{"1", "23", 1, 23}, std::tuple{"9", "9", 9, 9}}) {
        bLinkTaken = 0;
        nArticle = 5;
        auto cells = draw("AB" + articleLink(n, l, NORMAL, HOVER, "Seven!!"));
        EXPECT_EQ(nArticle, wantN) << n << "/" << l;
        EXPECT_EQ(ScrollPosition, static_cast<float>(wantL)) << n << "/" << l;
        EXPECT_EQ(textAt(cells, 206), "ABSeven!!") << n << "/" << l;
    }
}

TEST_F(ArticleTest, BlueByteOfCloseBracketAfterOneDigitLineShiftsTheHeader) {
    // The normal colour's blue byte is "]": the line reads as two digits.
    const std::uint32_t bracketBlue = rgb(0x70, 0x60, ']');
    auto cells = draw("AB" + articleLink("4", "5", bracketBlue, HOVER, "XYZ"));
    // Colours and text come one byte later: normal = (green, red, hover blue).
    ASSERT_EQ(textAt(cells, 206), "ABYZ");
    EXPECT_EQ(cells[2].colour, rgb(0x10, 0x70, 0x60));

    bLeftButton = 1;
    nMouseX = 33;
    nMouseY = 214;
    nArticle = 3;
    draw("AB" + articleLink("4", "5", bracketBlue, HOVER, "XYZ"));
    EXPECT_EQ(nArticle, 4);
    EXPECT_EQ(ScrollPosition, static_cast<float>(5 * 10 + (']' - 48)));
}

TEST_F(ArticleTest, NonDigitsAreConvertedAsTheyAre) {
    bLeftButton = 1;
    nMouseX = 33;
    nMouseY = 214;
    draw("AB" + articleLink("A", "!", NORMAL, HOVER, "Go"));
    EXPECT_EQ(nArticle, 'A' - 48);
    EXPECT_EQ(ScrollPosition, static_cast<float>('!' - 48));
}

TEST_F(ArticleTest, LinkTextIsNeverWrappedAndMayRunOffTheFrame) {
    auto cells = draw(std::string(70, 'a') + articleLink("4", "0", NORMAL, HOVER, "0123456789") + "Q");
    // Columns 71 to 78 are inside the frame; 79 and 80 are clipped.
    EXPECT_EQ(codeAt(cells, 576, 206), '0');
    EXPECT_EQ(codeAt(cells, 632, 206), '7');
    EXPECT_EQ(textAt(cells, 206).size(), 78u);
    // The next ordinary byte wraps at once.
    EXPECT_EQ(cellAt(cells, 8, 222) ? *cellAt(cells, 8, 222) : Cell{}, (Cell{8, 222, 'Q', WHITE}));

    // Without a closing code the text ends after 80 bytes; the 81st is consumed.
    cells = draw("\n" + std::string("\x9F[4][0]") + std::string(6, '\x40') + std::string(81, 'b') + "cd");
    EXPECT_EQ(textAt(cells, 222), "\n" + std::string(78, 'b'));
    EXPECT_EQ(codeAt(cells, 8, 238), 'c');
}

TEST_F(ArticleTest, LinksAboveTheWindowAreOrdinaryBytes) {
    const std::string text = std::string(62, 'a') + articleLink("4", "0", NORMAL, HOVER, "Go") + "Z\nB";
    auto cells = draw(text, 0.0f);
    EXPECT_EQ(textAt(cells, 206), std::string(62, 'a') + "GoZ");
    EXPECT_EQ(textAt(cells, 222), "\nB");
    // Above the window the link's 16 bytes take 16 columns: it wraps in the
    // middle, and the "o" of its text starts line 1.
    cells = draw(text, 1.0f);
    EXPECT_EQ(codeAt(cells, 8, 206), 'o');
    EXPECT_EQ(colourAt(cells, 8, 206), WHITE);
}

TEST_F(ArticleTest, MusicLinkLayoutZoneAndClick) {
    const std::string text = "AB" + musicLink("m.xm", NORMAL, HOVER, "Play") + "C";
    auto cells = draw(text);
    EXPECT_EQ(textAt(cells, 206), "ABPlayC");
    EXPECT_EQ(cells[2], (Cell{32, 206, 'P', NORMAL}));
    EXPECT_EQ(cells[6], (Cell{72, 206, 'C', WHITE}));
    // From 8c (one cell left of the text) to 8 pixels short of its end.
    EXPECT_EQ(colourWithPointer(text, 24, 214, 32, 206), NORMAL);
    EXPECT_EQ(colourWithPointer(text, 25, 214, 32, 206), HOVER);
    EXPECT_EQ(colourWithPointer(text, 55, 214, 32, 206), HOVER);
    EXPECT_EQ(colourWithPointer(text, 56, 214, 32, 206), NORMAL);
    EXPECT_EQ(colourWithPointer(text, 40, 222, 32, 206), NORMAL);

    // A press on a missing module does nothing; on a present one it is taken.
    bLeftButton = 1;
    nMouseX = 30;
    nMouseY = 210;
    draw(text);
    EXPECT_EQ(bLinkTaken, 0);
    writeFile(folder / "m.xm", "module");
    draw(text);
    EXPECT_EQ(bLinkTaken, 1);
    EXPECT_EQ(textAt(readCells(frame), 206), "ABPlayC");
}

TEST_F(ArticleTest, MusicLinkNameOfMoreThan15BytesConsumesThe16th) {
    writeFile(folder / "abcdefghijklmno", "module");
    // "X" stands where the quote should be; the quote becomes the normal blue.
    auto cells = draw(std::string("\xA8") + "abcdefghijklmnoX\"\x01\x02\x03\x04\x05" + "Hi\xA8");
    ASSERT_EQ(textAt(cells, 206), "Hi");
    EXPECT_EQ(cells[0].colour, rgb(0x02, 0x01, '"'));
    bLeftButton = 1;
    nMouseX = 12;
    nMouseY = 210;
    draw(std::string("\xA8") + "abcdefghijklmnoX\"\x01\x02\x03\x04\x05" + "Hi\xA8");
    EXPECT_EQ(bLinkTaken, 1);
}

TEST_F(ArticleTest, PressRules) {
    const std::string text = "AB" + articleLink("4", "0", NORMAL, HOVER, "Go");
    nMouseX = 33;
    nMouseY = 214;
    nArticle = 1;
    // Hovered without a press, or after this press already took a link.
    draw(text);
    EXPECT_EQ(nArticle, 1);
    bLeftButton = 1;
    bLinkTaken = 1;
    draw(text);
    EXPECT_EQ(nArticle, 1);
    // A press that is not over the link.
    bLinkTaken = 0;
    nMouseY = 230;
    draw(text);
    EXPECT_EQ(nArticle, 1);
    nMouseY = 214;
    ScrollPosition = 3.0f;
    setText(text + "\nmore");
    // Not visible: no link, though the pointer is where it would be.
    drawNow();
    EXPECT_EQ(nArticle, 1);
}

TEST_F(ArticleTest, FollowingALinkEndsThePassOverTheOldText) {
    writeFile(folder / "data" / "orbex.dat", std::string("d\nContents\x9E") + "xTitle\nAuthor\nTarget page\x9E");
    loadArchive();
    nArticle = 1;
    bLeftButton = 1;
    nMouseX = 33;
    nMouseY = 214;
    auto cells = draw("AB" + articleLink("2", "0", NORMAL, HOVER, "Go") + "old text\nmore old text");
    EXPECT_EQ(nArticle, 2);
    EXPECT_EQ(textAt(cells, 206), "ABGo");
    EXPECT_EQ(textAt(cells, 222), "");
    // The next frame lays out the new article; the held press follows nothing.
    cells = drawNow();
    EXPECT_EQ(textAt(cells, 206), "Targetpage");
}

TEST_F(ArticleTest, HeldPressFollowsOneLinkOnly) {
    const std::string page = "AB" + articleLink("2", "0", NORMAL, HOVER, "Go") + "\x9E";
    writeFile(folder / "data" / "orbex.dat",
              "d\n" + page + "xT\nA\n" + "AB" + articleLink("1", "0", NORMAL, HOVER, "Go") + "\x9E");
    loadArchive();
    selectArticle(1);
    nArticle = 1;
    bLeftButton = 1;
    nMouseX = 33;
    nMouseY = 214;
    drawNow();
    EXPECT_EQ(nArticle, 2);
    auto cells = drawNow();
    EXPECT_EQ(nArticle, 2);
    EXPECT_EQ(colourAt(cells, 32, 206), HOVER);
    // Released and pressed again: the link on the new page is followed.
    bLeftButton = 0;
    bLinkTaken = 0;
    bLeftButton = 1;
    drawNow();
    EXPECT_EQ(nArticle, 1);
}

TEST_F(ArticleTest, CodesAtTheEndOfTheBufferReadZeroBehindIt) {
    std::string text(TEXT_SIZE, 'a');
    text[TEXT_SIZE - 1] = static_cast<char>(0xA2);
    text[TEXT_SIZE - 5] = static_cast<char>(0x9F);
    text[TEXT_SIZE - 9] = static_cast<char>(0xA8);
    bLeftButton = 1;
    nMouseX = 300;
    nMouseY = 300;
    // Byte i (i >= 76) is on line 1 + (i - 76) / 77: the last one on 851.
    auto cells = draw(text, 840.0f);
    EXPECT_FALSE(cells.empty());
    EXPECT_EQ(bLinkTaken, 0);
}

TEST_F(ArticleTest, SixteenBitFramesWithPaddedRows) {
    nRedBits = 5;
    nGreenBits = 6;
    nBlueBits = 5;
    frame = TestFrame(16, 40);
    setText(colourCode(100, 50, 0) + "A\nB");
    ScrollPosition = 0.0f;
    drawArticle(frame.locked());
    auto cells = readCells(frame);
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[0], (Cell{16, 206, 'A', 0x6180}));
    EXPECT_EQ(cells[2], (Cell{16, 222, 'B', 0x6180}));
    // Nothing lands in the padding behind a row.
    for (int y = 0; y < 480; ++y)
        for (int i = 1280; i < frame.pitch; ++i)
            ASSERT_EQ(frame.pixels[static_cast<std::size_t>(y * frame.pitch + i)], 0);
}

} // namespace
} // namespace orbex::test
