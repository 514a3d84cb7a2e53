// Edge scrolling, following article and music links, and the contents
// page's remembered position.
#include <sys/stat.h>

#include <string>

#include "base/settings.h"
#include "present/frame.h"
#include "present/input.h"
#include "present/navigation.h"
#include "shell/windowproc.h"
#include "support/viewer_test.h"
#include "text/archive.h"

namespace orbex::test {
namespace {

class NavigationTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        dwFrames = 60.0f;
        fScrollStep = 0.25f;
    }

    // Contents page (header-less), then articles 2 to 7 with header and text.
    void writeMagazine() {
        std::string archive = "d\ncontents\n\x9E";
        for (int n = 2; n <= 7; ++n)
            archive += "xTitle " + std::to_string(n) + "\nAuthor\nText of " + std::to_string(n) + "\n\x9E";
        writeFile(folder / "data" / "orbex.dat", archive);
        loadArchive();
        selectArticle(1);
        nArticle = 1;
    }

    static int framesUntilRest(int limit) {
        int frames = 0;
        for (float before = ScrollPosition - 1.0f; before != ScrollPosition && frames < limit; ++frames) {
            before = ScrollPosition;
            scrollAtEdges();
        }
        return frames;
    }
};

TEST_F(NavigationTest, BottomEdgeStopsAtTheFirstPositionNotBelowTheLimit) {
    nLineCount = 100;
    ScrollPosition = 10.0f;
    nMouseY = 451;
    scrollAtEdges();
    EXPECT_EQ(ScrollPosition, 10.25f);
    framesUntilRest(1000);
    EXPECT_EQ(ScrollPosition, 85.0f);

    fScrollStep = 0.3f;
    ScrollPosition = 10.0f;
    framesUntilRest(1000);
    EXPECT_GE(ScrollPosition, 85.0f);
    EXPECT_LT(ScrollPosition, 85.3f);
}

TEST_F(NavigationTest, EdgesAreStrictAndTheTopStopsJustBelowZero) {
    nLineCount = 100;
    for (int y : {450, 30, 200}) {
        ScrollPosition = 10.0f;
        nMouseY = y;
        scrollAtEdges();
        EXPECT_EQ(ScrollPosition, 10.0f) << y;
    }
    nMouseY = 29;
    scrollAtEdges();
    EXPECT_EQ(ScrollPosition, 9.75f);
    fScrollStep = 0.3f;
    ScrollPosition = 0.2f;
    scrollAtEdges();
    scrollAtEdges();
    EXPECT_FLOAT_EQ(ScrollPosition, -0.1f);
}

TEST_F(NavigationTest, NoEdgeScrollingWithoutPointerOrRate) {
    nLineCount = 100;
    nMouseY = 470;
    bPointerOn = 0;
    scrollAtEdges();
    EXPECT_EQ(ScrollPosition, 0.0f);
    bPointerOn = 1;
    dwFrames = 0.0f;
    scrollAtEdges();
    EXPECT_EQ(ScrollPosition, 0.0f);
    // Short articles never scroll down from 0 or more.
    dwFrames = 60.0f;
    nLineCount = 15;
    scrollAtEdges();
    EXPECT_EQ(ScrollPosition, 0.0f);
}

TEST_F(NavigationTest, ContentsPositionIsSavedAndRestored) {
    writeMagazine();
    ScrollPosition = 12.5f;
    followArticleLink(7, 0);
    EXPECT_EQ(nArticle, 7);
    EXPECT_EQ(ScrollPosition, 0.0f);
    EXPECT_EQ(bLinkTaken, 1);
    EXPECT_EQ(std::string(szTitle.data()), "Title 7");
    EXPECT_EQ(fContentsScroll, 12.5f);
    // Back by the right button.
    viewerWindowProc(nullptr, WM_RBUTTONDOWN, 0, 0);
    EXPECT_EQ(nArticle, 1);
    EXPECT_EQ(ScrollPosition, 12.5f);
}

TEST_F(NavigationTest, LinkToTheContentsPageOpensAtItsLine) {
    writeMagazine();
    ScrollPosition = 3.0f;
    followArticleLink(3, 2);
    EXPECT_EQ(ScrollPosition, 2.0f);
    EXPECT_EQ(fContentsScroll, 3.0f);
    ScrollPosition = 6.0f;
    followArticleLink(1, 4);
    EXPECT_EQ(nArticle, 1);
    EXPECT_EQ(ScrollPosition, 4.0f);
    EXPECT_EQ(fContentsScroll, 3.0f);
    // From the contents page itself the position is saved first.
    followArticleLink(1, 0);
    EXPECT_EQ(fContentsScroll, 4.0f);
    EXPECT_EQ(ScrollPosition, 0.0f);
}

TEST_F(NavigationTest, HeaderlessTargetBecomesAContentsPage) {
    writeFile(folder / "data" / "orbex.dat", std::string("d\nc\x9E") + "d\nno header\x9E");
    loadArchive();
    nArticle = 1;
    followArticleLink(2, 1);
    EXPECT_EQ(nArticle, 1);
    EXPECT_EQ(ScrollPosition, 1.0f);
}

TEST_F(NavigationTest, MusicLinkNeedsARegularFile) {
    followMusicLink("missing.xm");
    EXPECT_EQ(bLinkTaken, 0);
    std::filesystem::create_directory(folder / "folder.xm");
    followMusicLink("folder.xm");
    EXPECT_EQ(bLinkTaken, 0);
    // A FIFO with no writer would block a plain open; it counts as missing.
    ASSERT_EQ(mkfifo((folder / "fifo.xm").c_str(), 0600), 0);
    followMusicLink("fifo.xm");
    EXPECT_EQ(bLinkTaken, 0);
    followMusicLink("/dev/zero");
    EXPECT_EQ(bLinkTaken, 0);
    followMusicLink("");
    EXPECT_EQ(bLinkTaken, 0);
    writeFile(folder / "song.xm", "x");
    followMusicLink("song.xm");
    EXPECT_EQ(bLinkTaken, 1);
}

TEST_F(NavigationTest, PressCountsOnlyUntilALinkIsTaken) {
    EXPECT_FALSE(linkPressPending());
    bLeftButton = 1;
    EXPECT_TRUE(linkPressPending());
    bLinkTaken = 1;
    EXPECT_FALSE(linkPressPending());
    viewerWindowProc(nullptr, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(bLinkTaken, 0);
    EXPECT_FALSE(linkPressPending());
}

} // namespace
} // namespace orbex::test
