// The page as text: a frame that starts its walk at the first visible line
// draws what a walk from the first byte draws, and the text's lines in view
// are the lines in the picture, with their colours and links.
#include <algorithm>
#include <string>

#include "common/articletext.h"
#include "present/article.h"
#include "present/input.h"
#include "present/pagetext.h"
#include "support/page_files.h"
#include "text/archive.h"
#include "text/font.h"

namespace orbex::test {
namespace {

constexpr std::uint32_t NORMAL = 0x1020C0;
constexpr std::uint32_t HOVER = 0xC02010;

// Draws every byte of visible lines as the page does, from byte 0 on.
struct FromTheTop {
    LockedFrame frame;
    float scroll;
    std::int32_t y(std::int32_t line) const {
        return static_cast<std::int32_t>((static_cast<float>(line) - scroll) * LINE_HEIGHT + PAGE_TOP);
    }
    bool lineBegins(const PassPoint &, std::int32_t, bool) { return true; }
    void glyph(std::uint8_t code, const PassPoint &at) const {
        drawGlyph(code, columnX(at.column), y(at.line), frame, at.blue, at.green, at.red);
    }
    const std::uint8_t *linkColour(const PassLink &link) const { return link.normal; }
    void linkGlyph(std::uint8_t code, const PassPoint &at, const PassLink &, const std::uint8_t *c) const {
        drawGlyph(code, columnX(at.column), y(at.line), frame, c[0], c[1], c[2]);
    }
    bool linkEnds(const PassLink &) const { return true; }
};

class PageTextTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        loadMarkerFont();
        // Off the page, so that no link is hovered.
        nMouseX = 700;
        nMouseY = 0;
    }

    static void setText(const std::string &text) {
        szText.fill(0);
        std::copy(text.begin(), text.end(), szText.begin());
        nTextLength = static_cast<std::int32_t>(text.size());
        nLineCount = static_cast<std::int32_t>(std::count(text.begin(), text.end(), '\n'));
        ++dwSelections;
    }

    // Long lines with links whose headers make lines above the window wrap
    // otherwise than the same lines in view, colour codes, carriage returns.
    static std::string trickyText() {
        std::string text;
        for (int k = 0; k < 40; ++k) {
            text += colourCode(static_cast<std::uint8_t>(k * 5), 80, 200);
            text += "Zeile " + std::to_string(k) + " \xE4\xF6\xFC ";
            if (k % 3 == 0)
                text += std::string(60, 'x') + articleLink("4", "2", NORMAL, HOVER, "Weiter") + "yy";
            if (k % 5 == 1)
                text += musicLink("a.xm", NORMAL, HOVER, "Musik");
            text += k % 7 == 3 ? "\r" : "\n";
        }
        return text;
    }

    static std::vector<Cell> cached(float scroll) {
        ScrollPosition = scroll;
        TestFrame frame(24);
        drawArticle(frame.locked());
        return readCells(frame);
    }

    static std::vector<Cell> fromTheTop(float scroll) {
        TestFrame frame(24);
        FromTheTop page{frame.locked(), scroll};
        walkPage(page, PassPoint{}, scroll);
        return readCells(frame);
    }

    // The cells the text puts in view, where the page would draw them.
    static std::vector<Cell> textInView(const ArticleText &text) {
        std::vector<Cell> cells;
        for (std::int32_t line = text.firstInView; line <= text.lastInView; ++line) {
            const auto y = static_cast<int>((static_cast<float>(line) - text.scroll) * LINE_HEIGHT + PAGE_TOP);
            for (std::int32_t c = text.lines[line].firstCell; c < text.lines[line + 1].firstCell; ++c) {
                const TextCell &cell = text.cells[c];
                // Link text past the frame's right edge is in the text only.
                if (cell.code != ' ' && 8 * cell.column + 8 < SCREENWIDTH)
                    cells.push_back(Cell{8 * cell.column + 8, y, cell.code, rgb(cell.red, cell.green, cell.blue)});
            }
        }
        return cells;
    }

    // The picture without the line feeds and returns the page draws in
    // column 0 (the text leaves them out: they are the line's end).
    static std::vector<Cell> withoutLineFeeds(std::vector<Cell> cells) {
        std::erase_if(cells, [](const Cell &c) { return c.x == 8 && (c.code == 10 || c.code == 13); });
        return cells;
    }

    static std::string describe(const std::vector<Cell> &cells, std::size_t k) {
        if (k >= cells.size())
            return "none";
        const Cell &c = cells[k];
        return std::to_string(c.x) + "," + std::to_string(c.y) + " code " + std::to_string(c.code) + " colour " +
               std::to_string(c.colour);
    }
    static std::string firstDifference(const std::vector<Cell> &a, const std::vector<Cell> &b) {
        for (std::size_t k = 0; k < std::max(a.size(), b.size()); ++k)
            if (k >= a.size() || k >= b.size() || !(a[k] == b[k]))
                return "cell " + std::to_string(k) + ": " + describe(a, k) + " against " + describe(b, k);
        return "";
    }

    static void expectTextFromTheTopAbove(const std::string &article);

    static void sortCells(std::vector<Cell> &cells) {
        std::sort(cells.begin(), cells.end(),
                  [](const Cell &a, const Cell &b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    }
};

TEST_F(PageTextTest, KeptLineStartsDrawWhatAWalkFromTheFirstByteDraws) {
    setText(trickyText());
    // One selection, positions in an order that uses and extends what is kept.
    for (float scroll : {0.0f, 30.0f, 2.0f, 2.5f, 41.0f, 12.75f, -3.0f, 45.0f, 1e9f, 17.0f, 16.999f}) {
        EXPECT_EQ(cached(scroll), fromTheTop(scroll)) << scroll;
    }
    // Another text in the same buffer counts as another selection.
    setText(std::string(300, 'q') + "\n" + trickyText());
    for (float scroll : {30.0f, 3.0f})
        EXPECT_EQ(cached(scroll), fromTheTop(scroll)) << scroll;
}

TEST_F(PageTextTest, TheLinesInViewAreTheLinesInThePicture) {
    setText(trickyText());
    for (float scroll : {0.0f, 1.0f, 3.0f, 4.5f, 20.0f, 33.0f, -2.0f}) {
        const ArticleText &text = articleTextAt(scroll);
        std::vector<Cell> picture = withoutLineFeeds(cached(scroll));
        std::vector<Cell> written = textInView(text);
        sortCells(picture);
        sortCells(written);
        EXPECT_EQ(firstDifference(written, picture), "") << scroll;
        EXPECT_TRUE(text.shown);
        EXPECT_EQ(text.lineFeeds, 35);
    }
}

TEST_F(PageTextTest, LinksCarryTheirTargetsPlacesAndZones) {
    setText("Hallo\nAB" + articleLink("12", "34", NORMAL, HOVER, "Weiter") + "\n" +
            musicLink("song.xm", NORMAL, HOVER, "Lied") + "\n");
    const ArticleText &text = articleTextAt(0.0f);
    ASSERT_EQ(text.linkCount, 2);
    const TextLink &article = text.links[0];
    EXPECT_FALSE(article.music);
    EXPECT_EQ(article.target, 12);
    EXPECT_EQ(article.targetLine, 34);
    EXPECT_EQ(article.line, 1);
    EXPECT_EQ(article.column, 3);
    EXPECT_EQ(article.cellCount, 6);
    EXPECT_EQ(article.normal[0], 0x10);
    EXPECT_EQ(article.hover[2], 0x10);
    // The zone the picture's click uses: two two-digit numbers widen it.
    EXPECT_EQ(article.left, 32);
    EXPECT_EQ(article.right, 32 + 8 * 8);
    const TextLink &music = text.links[1];
    EXPECT_TRUE(music.music);
    EXPECT_STREQ(music.module, "song.xm");
    EXPECT_EQ(music.line, 2);
    EXPECT_EQ(lineUtf8(text, 1), "ABWeiter");
    EXPECT_EQ(lineUtf8(text, 2), "Lied");
    // A click in the middle of each link's zone follows it in the picture.
    for (const TextLink &link : {article, music}) {
        nMouseX = (link.left + link.right) / 2;
        nMouseY = PAGE_TOP + LINE_HEIGHT * link.line + LINE_HEIGHT / 2;
        TestFrame frame(24);
        drawArticle(frame.locked());
        EXPECT_EQ(colourAt(readCells(frame), 8 * link.column + 8, nMouseY - LINE_HEIGHT / 2), HOVER);
    }
}

TEST_F(PageTextTest, ClipboardTextIsUtf8WithoutMarkup) {
    setText(colourCode(255, 0, 0) + "Gr\xFC\xDF" + "e \x80 5\n" + "Sie " +
            articleLink("3", "0", NORMAL, HOVER, "hier") + " \n\n" + std::string(80, 'w') + "\n");
    const std::string copied = clipboardUtf8(articleTextAt(0.0f));
    // Wrapping adds no line feed; the text's own are kept. The column after
    // a link stays empty, as in the picture.
    EXPECT_EQ(copied, "Gr\xC3\xBC\xC3\x9F"
                      "e \xE2\x82\xAC 5\nSie hier  \n\n" +
                          std::string(80, 'w') + "\n");
}

// The text's cells, lines and links as values, links by their place.
struct Written {
    std::vector<std::array<std::int32_t, 7>> cells; // code, column, red, green, blue, link place, index
    std::vector<std::pair<std::int32_t, bool>> lines;
    std::vector<std::array<std::int32_t, 4>> links; // place, line, first cell, cell count
    bool operator==(const Written &) const = default;
};

Written written(const ArticleText &text, std::int32_t lineEnd) {
    Written w;
    const std::int32_t cellEnd = text.lines[lineEnd].firstCell;
    for (std::int32_t c = 0; c < cellEnd; ++c) {
        const TextCell &cell = text.cells[c];
        w.cells.push_back({cell.code, cell.column, cell.red, cell.green, cell.blue,
                           cell.link == NO_LINK ? -1 : text.links[cell.link].index, cell.index});
    }
    for (std::int32_t line = 0; line < lineEnd; ++line)
        w.lines.emplace_back(text.lines[line].firstCell, text.lines[line].afterLineFeed);
    for (std::int32_t k = 0; k < text.linkCount; ++k)
        if (text.links[k].line < lineEnd)
            w.links.push_back(
                {text.links[k].index, text.links[k].line, text.links[k].firstCell, text.links[k].cellCount});
    return w;
}

// The cells a walk from the top with every line above the window writes.
struct TopWalk {
    std::vector<std::array<std::int32_t, 7>> cells;
    std::int32_t place = -1;
    bool lineBegins(const PassPoint &, std::int32_t, bool) { return true; }
    void glyph(std::uint8_t code, const PassPoint &at) {
        if (at.column != 0 || (code != 10 && code != 13))
            cells.push_back({code, at.column, at.red, at.green, at.blue, -1, at.index});
    }
    const std::uint8_t *linkColour(const PassLink &link) {
        place = link.index;
        return link.normal;
    }
    void linkGlyph(std::uint8_t code, const PassPoint &at, const PassLink &, const std::uint8_t *c) {
        cells.push_back({code, at.column, c[2], c[1], c[0], place, at.index});
    }
    bool linkEnds(const PassLink &) { return true; }
};

// Selected, then scrolled line by line down and up and by jumps: the lines
// above the window are where a walk from the top begins, up to the first
// byte in view, and the text is the one made afresh for the position.
void PageTextTest::expectTextFromTheTopAbove(const std::string &article) {
    setText(article);
    TopWalk top;
    walkPage(top, PassPoint{}, -ALL_ABOVE, nTextLength, true);
    std::vector<float> positions;
    for (int line = 0; line <= 45; ++line)
        positions.push_back(static_cast<float>(line));
    for (int line = 45; line >= 0; --line)
        positions.push_back(static_cast<float>(line) - 0.25f);
    positions.insert(positions.end(), {12.75f, 40.0f, 3.0f, 1e9f, 20.0f});
    std::int32_t rebuilt = 0;
    std::uint32_t version = articleTextAt(0.0f).version;
    for (float scroll : positions) {
        const ArticleText &text = articleTextAt(scroll);
        rebuilt += text.version != version;
        version = text.version;
        const std::int32_t count = text.lineCount;
        const std::int32_t above = text.firstInView < 0 ? count : text.firstInView;
        const Written kept = written(text, count);
        const Written upper = written(text, above);
        ASSERT_LE(upper.cells.size(), top.cells.size()) << scroll;
        for (std::size_t k = 0; k < upper.cells.size(); ++k)
            ASSERT_EQ(upper.cells[k], top.cells[k]) << scroll << " cell " << k;
        if (above < count && text.lines[above].firstCell < text.lines[count].firstCell) {
            EXPECT_GE(top.cells[upper.cells.size()][6], text.cells[text.lines[above].firstCell].index) << scroll;
        }
        // A link cut by the window's top has only its cells above.
        for (const auto &link : upper.links) {
            const auto cells = std::count_if(upper.cells.begin(), upper.cells.end(),
                                             [&](const auto &cell) { return cell[5] == link[0]; });
            EXPECT_EQ(link[3], cells) << scroll << " link at " << link[0];
        }
        ++dwSelections;
        EXPECT_TRUE(written(articleTextAt(scroll), count) == kept) << scroll;
    }
    EXPECT_GT(rebuilt, 10) << "the text never had to be made again for a position";
}

TEST_F(PageTextTest, LinesAboveTheWindowAreTheTextFromTheTopWhereverTheViewCameFrom) {
    for (const std::string &article : {trickyText(), std::string(300, 'q') + "\n" + trickyText()})
        expectTextFromTheTopAbove(article);
}

TEST_F(PageTextTest, TheTextFollowsSelectionsAndTheView) {
    setText("eins\nzwei\n");
    const ArticleText first = articleTextAt(0.0f);
    EXPECT_EQ(first.firstInView, 0);
    EXPECT_EQ(first.lastInView, 2);
    const ArticleText scrolled = articleTextAt(1.5f);
    // The view moved; the lines did not.
    EXPECT_EQ(scrolled.version, first.version);
    EXPECT_EQ(scrolled.firstInView, 2);
    setText("drei\n");
    const ArticleText &next = articleTextAt(0.0f);
    EXPECT_NE(next.selection, first.selection);
    EXPECT_EQ(lineUtf8(next, 0), "drei");
    // Past the end no line is in view.
    const ArticleText &past = articleTextAt(5000.0f);
    EXPECT_EQ(past.firstInView, -1);
    EXPECT_EQ(past.lastInView, -2);
}

} // namespace
} // namespace orbex::test
