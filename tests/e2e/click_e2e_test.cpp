// Clicks end to end, the viewer binary run headless: a tap (press and release
// with no frame between them) follows a link every time, also with the
// pointer picture off, and ends the end picture; a short article paged down
// leaves no streak of the scroll bar above its strip.
#include <string>

#include "support/magazine.h"
#include "support/page_files.h"

namespace orbex::test {
namespace {

constexpr std::uint32_t LINK = 0x40C0FF;
constexpr std::uint32_t HOVER = 0xFFFF00;

class ClickEndToEnd : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        TestMagazine magazine;
        // Each page's first line links to the other page, at the same place;
        // article 2 is three lines short.
        std::string contents = "d\n" + articleLink("2", "0", LINK, HOVER, "Two") + "\n";
        for (int i = 0; i < 30; ++i)
            contents += "c\n";
        const std::string second = "xTitle\nAuthor\n\n" + articleLink("1", "0", LINK, HOVER, "One") + "\nshort\nend\n";
        magazine.archive = archiveOf({contents, second});
        magazine.write();
    }

    int run(const std::string &script) {
        writeFile("script.txt", script);
        return runProgram(headlessRun("ln")).status();
    }

    // The first page line of a shot, as the marker font shows it.
    std::string firstLine(const std::string &shot) {
        Bytes rgbBytes = readPngRgb((folder / shot).string());
        EXPECT_EQ(rgbBytes.size(), 640u * 480u * 3u) << shot;
        if (rgbBytes.size() != 640u * 480u * 3u)
            return {};
        Bytes bgr = rgbBytes;
        for (std::size_t i = 0; i < bgr.size(); i += 3)
            std::swap(bgr[i], bgr[i + 2]);
        const std::string text = textAt(readCells(bgr.data(), 1920, 3, 0, rgb(0, 0, BACKGROUND_BLUE)), 206);
        return text.find("Two") != std::string::npos ? "Two" : text.find("One") != std::string::npos ? "One" : text;
    }
};

// The intro ends after frame 256; the pointer over both pages' link.
const std::string INTRO = "frames 300\nmove 30 214\nframes 2\n";

TEST_F(ClickEndToEnd, EveryTapFollowsTheLinkUnderThePointer) {
    std::string script = INTRO + "shot tap0.png\n";
    for (int n = 1; n <= 5; ++n)
        script += "ldown\nlup\nframes 2\nshot tap" + std::to_string(n) + ".png\n";
    ASSERT_EQ(run(script), 0) << readText("stderr.txt");
    EXPECT_EQ(firstLine("tap0.png"), "Two");
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(firstLine("tap" + std::to_string(n) + ".png"), n % 2 == 1 ? "One" : "Two") << "tap " << n;
}

TEST_F(ClickEndToEnd, TapFollowsTheLinkWithThePointerPictureOff) {
    // F5 hides the pointer picture and stops edge scrolling; the pointer is
    // still read, and a click still follows the link under it.
    ASSERT_EQ(run(INTRO + "key F5\nframes 2\nshot off.png\nldown\nlup\nframes 2\nshot followed.png\n"), 0)
        << readText("stderr.txt");
    EXPECT_EQ(firstLine("off.png"), "Two");
    EXPECT_EQ(firstLine("followed.png"), "One");
}

TEST_F(ClickEndToEnd, TapEndsTheEndPictureWithoutMusic) {
    // With n nothing fades: only a click ends the end picture. The frame
    // after the press asks to quit, and the release, the next message,
    // closes the window: the rest of the script is never played.
    ASSERT_EQ(run(INTRO + "key F12\nframes 5\nshot end.png\nldown\nlup\nframes 50\nshot never.png\n"), 0)
        << readText("stderr.txt");
    EXPECT_TRUE(std::filesystem::exists("end.png"));
    EXPECT_FALSE(std::filesystem::exists("never.png"));
    const std::string log = readText("orbex.log");
    EXPECT_NE(log.find("Closing Engine\r\nClosing DirectDraw\r\nQuit viewer\r\n"), std::string::npos) << log;
}

TEST_F(ClickEndToEnd, ShortArticlePagedDownLeavesNoStreakAboveTheScrollBar) {
    // Page Down in an article of three lines puts the position below 0, and
    // the thumb would reach far above the strip; Page Up brings it back.
    ASSERT_EQ(run(INTRO + "ldown\nlup\nframes 2\nmove 300 300\nkey PageDown\nframes 3\nkey PageUp\nframes 3\n"
                          "shot page.png\n"),
              0)
        << readText("stderr.txt");
    const Bytes shot = readPngRgb((folder / "page.png").string());
    ASSERT_EQ(shot.size(), 640u * 480u * 3u);
    EXPECT_EQ(firstLine("page.png"), "One");
    for (int x = 637; x <= 639; ++x)
        for (int y = 0; y < 180; ++y)
            ASSERT_EQ(rgbPixel(shot, x, y), rgb(0, 0, BACKGROUND_BLUE)) << x << "," << y;
    // The thumb itself is there, in the strip.
    EXPECT_EQ(rgbPixel(shot, 638, 210), rgb(100, 50, 0));
}

} // namespace
} // namespace orbex::test
