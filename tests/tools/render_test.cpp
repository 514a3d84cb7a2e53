// orbex-tool render draws what the viewer shows: the sample magazine is read
// headless through a script that takes shots, and render must give the same
// pixels for each article and scroll position, fractional ones included.
#include <cstdio>

#include "articles.h"
#include "images.h"
#include "render.h"
#include "support/child.h"
#include "support/magazine.h"
#include "support/reports.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

class RenderAgreement : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        copySampleMagazine("mag");
        Report report;
        articles = decodeArchive(readFile("mag/data/orbex.dat"), report);
    }

    std::vector<Article> articles;

    // Shots by absolute path: the viewer runs inside the magazine folder.
    std::string shot(const std::string &name) const { return "shot " + (folder / name).string() + "\n"; }

    // The viewer's shot and render's picture of the same page, as pixels.
    static RgbImage picture(const std::string &path) {
        RgbImage image;
        Report report;
        EXPECT_TRUE(readPng(path, image, report)) << path;
        return image;
    }
    static RgbImage rendered(int article, float line) {
        char value[32];
        std::snprintf(value, sizeof value, "%.9g", static_cast<double>(line));
        std::string out = "render-" + std::to_string(article) + "-" + value + ".png";
        ChildResult run = runChild({ORBEX_TOOL_BINARY, "render", "mag", std::to_string(article), out, value});
        EXPECT_EQ(run.status, 0) << run.err;
        return picture(out);
    }
};

// Pixels that differ, as "x,y" of the first and a count.
std::string difference(const RgbImage &a, const RgbImage &b, int fromX = 0, int toX = 640) {
    if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size())
        return "sizes differ";
    int count = 0;
    std::string first;
    for (int y = 0; y < a.height; ++y)
        for (int x = fromX; x < toX; ++x) {
            std::size_t i = 3 * (static_cast<std::size_t>(y) * a.width + x);
            if (a.rgb[i] != b.rgb[i] || a.rgb[i + 1] != b.rgb[i + 1] || a.rgb[i + 2] != b.rgb[i + 2]) {
                if (count++ == 0)
                    first = std::to_string(x) + "," + std::to_string(y);
            }
        }
    return count == 0 ? "" : std::to_string(count) + " pixels, the first at " + first;
}

// A link's text on line n of the page at position 0 is at y = 206 + 16 n.
std::string clickLine(int line) {
    return "move 60 " + std::to_string(206 + 16 * line + 8) + "\nldown\nframes 2\nlup\nmove 640 100\nframes 3\n";
}

TEST_F(RenderAgreement, RenderDrawsWhatTheViewerShows) {
    ASSERT_GE(articles.size(), 5u);
    const int helpLines = articles[1].lineCount;
    // Scrolling at the edge moves by 20 lines a second: 0.4 a frame at 50 frames.
    float edge = 18.0f;
    for (int k = 0; k < 7; ++k)
        edge -= 20.0f / 50.0f;
    // x = 640 keeps the pointer picture off the frame and y = 100 lies off the
    // text and off the scrolling edges; shots are taken once two frames have
    // passed, since the scroll bar reaches the screen a frame late.
    std::string script = "move 640 100\nframes 320\n" + shot("contents.png");
    script += "key F1\nframes 3\n" + shot("help.png");
    script += "key Down\nkey Down\nframes 3\n" + shot("help-2.png");
    script += "key End\nframes 3\n" + shot("help-end.png");
    script += "rdown\nframes 3\n" + clickLine(8) + shot("vorwort.png");
    script += "rdown\nframes 3\n" + clickLine(10) + shot("diskmags-18.png");
    script += "move 640 20\nframes 7\nmove 640 100\nframes 3\n" + shot("diskmags-edge.png");
    writeFile("tour.txt", script);
    ChildResult run = runChild({ORBEX_BINARY}, 120,
                               {"ORBEX_VIDEO=headless", "ORBEX_CLOCK=step:20",
                                "ORBEX_SCRIPT=" + (folder / "tour.txt").string(), "ORBEX_MAGAZINE=mag"});
    ASSERT_EQ(run.status, 0) << run.err;

    struct Page {
        const char *shot;
        int article;
        float line;
    } pages[] = {
        {"contents.png", 1, 0},         {"help.png", 2, 0},
        {"help-2.png", 2, 2},           {"help-end.png", 2, static_cast<float>(helpLines - 15)},
        {"vorwort.png", 3, 0},          {"diskmags-18.png", 4, 18},
        {"diskmags-edge.png", 4, edge},
    };
    for (const Page &page : pages)
        EXPECT_EQ(difference(picture(page.shot), rendered(page.article, page.line)), "") << page.shot;
    // The shots are of different pages, so the comparisons mean something.
    EXPECT_NE(difference(picture("help.png"), picture("help-2.png")), "");
    EXPECT_NE(difference(picture("diskmags-18.png"), picture("diskmags-edge.png")), "");
}

TEST_F(RenderAgreement, TheFirstFrameAfterAMoveShowsTheOldScrollBar) {
    writeFile("lag.txt", "move 640 100\nframes 320\nkey Down\nframes 1\n" + shot("moved.png"));
    ChildResult run = runChild({ORBEX_BINARY}, 120,
                               {"ORBEX_VIDEO=headless", "ORBEX_CLOCK=step:20",
                                "ORBEX_SCRIPT=" + (folder / "lag.txt").string(), "ORBEX_MAGAZINE=mag"});
    ASSERT_EQ(run.status, 0) << run.err;
    RgbImage moved = picture("moved.png");
    RgbImage before = rendered(1, 0), after = rendered(1, 1);
    // The text has moved on; the scroll bar (x 637 to 639) is the one of the
    // frame before, which render, drawing the second frame, does not show.
    EXPECT_EQ(difference(moved, after, 0, 637), "");
    EXPECT_EQ(difference(moved, before, 637, 640), "");
    EXPECT_NE(difference(moved, after, 637, 640), "");
}

class RenderTest : public ViewerTest {};

TEST_F(RenderTest, RenderDrawsAPageWithTheViewersCode) {
    buildSampleMagazine();
    Report report;
    ASSERT_TRUE(renderArticle(".", 3, 0, "page.png", report)) << report.errors.front();
    RgbImage page;
    ASSERT_TRUE(readPng("page.png", page, report));
    ASSERT_EQ(page.width, 640);
    // "Autor: ..." in white at (15, 180) over the dark strip of the background.
    int white = 0;
    for (int y = 180; y < 196; ++y)
        for (int x = 15; x < 63; ++x) {
            const std::uint8_t *p = &page.rgb[(y * 640 + x) * 3];
            white += p[0] == 255 && p[1] == 255 && p[2] == 255;
        }
    EXPECT_GT(white, 40);
}

TEST_F(RenderTest, RenderReportsWhatStopsTheViewer) {
    buildSampleMagazine();
    std::filesystem::remove("data/BG_8b.pcx");
    Report report;
    EXPECT_FALSE(renderArticle(".", 1, 0, "page.png", report));
    EXPECT_TRUE(hasError(report, "BackgroundPIC"));
    EXPECT_FALSE(std::filesystem::exists("page.png"));
}

} // namespace
} // namespace orbex::test
