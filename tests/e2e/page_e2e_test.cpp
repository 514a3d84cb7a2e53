// The page end to end: the viewer binary, headless, on a small magazine with
// a visible font, through the intro, a link, the way back, a music link and
// the end picture; and the pointer moved only by the keypad with the letter k.
#include <fstream>
#include <string>

#include "support/magazine.h"
#include "support/page_files.h"

namespace orbex::test {
namespace {

constexpr std::uint32_t LINK_NORMAL = 0x40C0FF;
constexpr std::uint32_t LINK_HOVER = 0xFFFF00;
constexpr std::uint32_t MUSIC_NORMAL = 0x40FF40;
constexpr std::uint32_t MUSIC_HOVER = 0xFF4040;
constexpr std::uint32_t BLUE_TEXT = 0x8080FF;
constexpr std::uint32_t WHITE = 0xFFFFFF;

class PageEndToEnd : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        TestMagazine magazine;
        // A pointer that is a yellow square 24 pixels right of and below its hot spot.
        Bytes indices(32 * 32, 0);
        for (int y = 24; y < 32; ++y)
            for (int x = 24; x < 32; ++x)
                indices[static_cast<std::size_t>(y * 32 + x)] = 1;
        Bytes palette(768, 0);
        palette[3] = 255;
        palette[4] = 255;
        magazine.pointer = pcxBytes(32, 32, indices, palette);
        magazine.files["song.xm"] = bytesOf("not really a module");

        // Contents: link on line 3, music link on line 4, enough lines to scroll.
        std::string contents = "d\n";
        contents += "Contents\n";
        contents += "first" + colourCode(0x80, 0x80, 0xFF) + "blue\n";
        contents += "second\n";
        contents += articleLink("2", "3", LINK_NORMAL, LINK_HOVER, "Article") + "\n";
        contents += musicLink("song.xm", MUSIC_NORMAL, MUSIC_HOVER, "Song") + "\n";
        for (int i = 5; i < 30; ++i)
            contents += "c\n";
        std::string second = "xSecond title\nAnn Author\n\n";
        for (int i = 0; i < 40; ++i)
            second += "line" + std::string(1, static_cast<char>('A' + i % 26)) + "\n";
        magazine.archive = archiveOf({contents, second});
        magazine.write(folder);
    }

    int run(const std::string &script, const std::string &letters) {
        writeFile(folder / "script.txt", script);
        return runProgram(headlessRun(letters)).status();
    }

    // The shot's cells of the marker font, its background read at (300, 100).
    struct Shot {
        Bytes rgbBytes;
        Bytes bgr;
        std::vector<Cell> cells;
        // Cells whose x lies at the given phase of 8 (the header lines).
        std::vector<Cell> cellsAt(int phase, int from = 0, int to = 640) const {
            std::vector<Cell> cells;
            for (const Cell &c : readCells(bgr.data(), 1920, 3, phase, pixel(300, 100)))
                if (c.x >= from && c.x < to)
                    cells.push_back(c);
            return cells;
        }
        std::uint32_t pixel(int x, int y) const { return rgbPixel(rgbBytes, x, y); }
    };

    Shot shot(const std::string &name) {
        Shot s;
        s.rgbBytes = readPngRgb((folder / name).string());
        EXPECT_EQ(s.rgbBytes.size(), 640u * 480u * 3u) << name;
        if (s.rgbBytes.size() != 640u * 480u * 3u)
            return s;
        s.bgr = s.rgbBytes;
        for (std::size_t i = 0; i < s.bgr.size(); i += 3)
            std::swap(s.bgr[i], s.bgr[i + 2]);
        s.cells = s.cellsAt(0);
        return s;
    }
};

// The pointer is read at the end of a frame: one frame after the move, the
// page no longer scrolls up at the top edge where the pointer started.
const std::string INTRO = "frames 320\nmove 300 300\nframes 1\n";

TEST_F(PageEndToEnd, LinkThereAndBackMusicLinkAndEnd) {
    const std::string script = INTRO + "key Down\nkey Down\nframes 3\nshot contents.png\n"
                                       "move 40 230\nframes 3\nshot hover.png\n"
                                       "ldown\nframes 3\nlup\nframes 2\nshot article.png\n"
                                       "rdown\nframes 3\nshot back.png\n"
                                       "move 30 245\nframes 2\nldown\nframes 3\nlup\nframes 2\nshot music.png\n"
                                       "key F12\nframes 2\nshot outro.png\n";
    ASSERT_EQ(run(script, "l"), 0) << readText(folder / "stderr.txt");

    // Contents at line 2: line 2 at y = 206, the link on line 3, the music link on 4.
    Shot contents = shot("contents.png");
    EXPECT_EQ(textAt(contents.cells, 206), "\nsecond");
    EXPECT_EQ(textAt(contents.cells, 222), "\nArticle");
    EXPECT_EQ(colourAt(contents.cells, 16, 222), LINK_NORMAL);
    EXPECT_EQ(textAt(contents.cells, 238), "\nSong");
    EXPECT_EQ(colourAt(contents.cells, 16, 238), MUSIC_NORMAL);
    EXPECT_EQ(textAt(contents.cells, 180), "") << "no header lines on the contents page";

    Shot hover = shot("hover.png");
    EXPECT_EQ(colourAt(hover.cells, 16, 222), LINK_HOVER);
    EXPECT_EQ(colourAt(hover.cells, 64, 222), LINK_HOVER);

    // Article 2 opens at the link's line 3, with its header lines.
    Shot article = shot("article.png");
    EXPECT_EQ(textAt(article.cells, 206), "\nlineD");
    EXPECT_EQ(textAt(article.cells, 446), "\nlineS");
    // The author's and the title's cells lie at other phases, apart on the row.
    EXPECT_EQ(textAt(article.cellsAt(2, 320), 180), "Titel:Secondtitle");
    EXPECT_EQ(article.cellsAt(2, 320).back().x, 618);
    EXPECT_EQ(textAt(article.cellsAt(7, 0, 320), 180), "Autor:AnnAuthor");

    // The right button brings the contents page back at line 2, as it was.
    Shot back = shot("back.png");
    EXPECT_EQ(back.cells, hover.cells);
    EXPECT_EQ(back.rgbBytes, hover.rgbBytes);

    // The music link leaves the page as it is, its text in the hover colour.
    Shot music = shot("music.png");
    EXPECT_EQ(textAt(music.cells, 222), "\nArticle");
    EXPECT_EQ(colourAt(music.cells, 16, 238), MUSIC_HOVER);
    EXPECT_EQ(colourAt(music.cells, 16, 222), LINK_NORMAL);

    Shot outro = shot("outro.png");
    EXPECT_TRUE(outro.cells.empty());
    if (hover.pixel(300, 100) != 0) { // pictures set up from the files
        EXPECT_EQ(outro.pixel(10, 10), 0x005A00u);
    }

    const std::string log = readText(folder / "orbex.log");
    const auto closing = log.find("Closing Engine\r\nClosing DirectDraw\r\nQuit viewer\r\n");
    EXPECT_NE(closing, std::string::npos) << log;
    EXPECT_EQ(log.find("Closing Engine", closing + 1), std::string::npos) << log;
}

TEST_F(PageEndToEnd, WithLetterKOnlyTheKeypadMovesThePointer) {
    // The pointer stays at (0, 0), on the top edge, until the keypad moves it,
    // so the page is kept at line 0: the link is on line 3 at y = 254.
    std::string script = "frames 320\nmove 40 260\nframes 3\nshot system.png\n";
    for (int i = 0; i < 4; ++i)
        script += "key Num6\n";
    for (int i = 0; i < 26; ++i)
        script += "key Num2\n";
    script += "frames 3\nshot keypad.png\nldown\nframes 3\nshot followed.png\n";
    ASSERT_EQ(run(script, "k"), 0) << readText(folder / "stderr.txt");

    Shot system = shot("system.png");
    EXPECT_EQ(textAt(system.cells, 254), "\nArticle");
    EXPECT_EQ(colourAt(system.cells, 16, 254), LINK_NORMAL);
    // No pointer square where the system pointer would have put it.
    for (int y = 284; y < 292; ++y)
        EXPECT_EQ(system.pixel(66, y), system.pixel(300, 100)) << y;

    Shot keypad = shot("keypad.png");
    EXPECT_EQ(colourAt(keypad.cells, 16, 254), LINK_HOVER);
    Shot followed = shot("followed.png");
    EXPECT_EQ(textAt(followed.cells, 206), "\nlineD");
}

TEST_F(PageEndToEnd, ColourCodeCarriesOnAcrossLines) {
    ASSERT_EQ(run(INTRO + "frames 2\nshot page.png\n", ""), 0) << readText(folder / "stderr.txt");
    Shot page = shot("page.png");
    EXPECT_EQ(textAt(page.cells, 206), "Contents");
    EXPECT_EQ(textAt(page.cells, 222), "\nfirstblue");
    EXPECT_EQ(colourAt(page.cells, 16, 222), WHITE);
    EXPECT_EQ(colourAt(page.cells, 56, 222), BLUE_TEXT);
    // The colour stays in force on the next line.
    EXPECT_EQ(colourAt(page.cells, 16, 238), BLUE_TEXT);
}

} // namespace
} // namespace orbex::test
