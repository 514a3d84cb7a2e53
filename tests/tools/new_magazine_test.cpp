// orbex-tool new and build: from an empty folder to an issue the viewer
// shows, and back from edited sources to the files it reads.
#include "articles.h"
#include "images.h"
#include "support/child.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

class NewMagazine : public ViewerTest {
  protected:
    static ChildResult tool(std::vector<std::string> args) {
        args.insert(args.begin(), ORBEX_TOOL_BINARY);
        return runChild(args);
    }
    static std::vector<Article> articlesOf(const std::string &folder) {
        Report report;
        return decodeArchive(readFile(folder + "/data/orbex.dat"), report);
    }
    static RgbImage picture(const std::string &path) {
        RgbImage image;
        Report report;
        EXPECT_TRUE(readPng(path, image, report)) << path;
        return image;
    }
};

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

TEST_F(NewMagazine, IsCompleteChecksOutAndTheViewerShowsIt) {
    ChildResult made = tool({"new", "issue", "--title", "Pixel & {Chips}"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.err, "");
    for (const char *source : {"src/articles/01-contents.txt", "src/articles/02-help.txt", "src/font.hex",
                               "src/pictures/begin.png", "src/pictures/ende.png", "src/pictures/bg.png",
                               "src/pictures/cursor.png", "src/music/extreme2.xm", "src/music/calm.xm"})
        EXPECT_TRUE(std::filesystem::is_regular_file("issue/" + std::string(source))) << source;
    ChildResult check = tool({"check", "issue"});
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_EQ(check.err, "");

    // Contents with links to the other two articles, F1's help page, an
    // article link and a music link in the article.
    std::vector<Article> articles = articlesOf("issue");
    ASSERT_EQ(articles.size(), 3u);
    EXPECT_TRUE(articles[0].headerless);
    EXPECT_EQ(std::string(articles[0].text.begin() + 4, articles[0].text.begin() + 19), "Pixel & {Chips}");
    EXPECT_EQ(articles[1].title, "Help");
    int articleLinks = 0, musicLinks = 0;
    for (const ArticleLink &link : articles[2].links)
        (link.music ? musicLinks : articleLinks) += 1;
    EXPECT_GE(articleLinks, 1);
    EXPECT_GE(musicLinks, 1);

    // The viewer: the start picture, the contents, and the article opened by
    // a click on the first link (line 8 of the contents).
    std::string script = "move 640 100\nframes 100\nshot " + (folder / "intro.png").string() + "\nframes 220\nshot " +
                         (folder / "contents.png").string() +
                         "\nmove 60 342\nldown\nframes 2\nlup\nmove 640 100\nframes 3\nshot " +
                         (folder / "article.png").string() + "\n";
    writeFile("tour.txt", script);
    ChildResult run = runChild({ORBEX_BINARY, "l"}, 120,
                               {"ORBEX_VIDEO=headless", "ORBEX_CLOCK=step:20",
                                "ORBEX_SCRIPT=" + (folder / "tour.txt").string(), "ORBEX_MAGAZINE=issue"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(contains(run.err, "ORBEX 5:")) << run.err; // no message box
    ChildResult contents = tool({"render", "issue", "1", "contents-rendered.png"});
    ChildResult article = tool({"render", "issue", "3", "article-rendered.png"});
    ASSERT_EQ(contents.status + article.status, 0);
    RgbImage shown = picture("contents.png");
    EXPECT_EQ(shown.rgb, picture("contents-rendered.png").rgb);
    EXPECT_EQ(picture("article.png").rgb, picture("article-rendered.png").rgb);
    EXPECT_NE(picture("intro.png").rgb, shown.rgb);
    // The title in gold on the start picture and in the banner.
    auto gold = [](const RgbImage &image, int fromY, int toY) {
        int n = 0;
        for (int y = fromY; y < toY; ++y)
            for (int x = 0; x < 640; ++x) {
                const std::uint8_t *p = &image.rgb[3 * (y * 640 + x)];
                n += p[0] > 200 && p[1] > 100 && p[2] < 160;
            }
        return n;
    };
    EXPECT_GT(gold(picture("intro.png"), 100, 260), 2000);
    EXPECT_GT(gold(shown, 20, 140), 2000);
}

TEST_F(NewMagazine, BuildMakesTheEditedSourcesIntoTheMagazine) {
    ASSERT_EQ(tool({"new", "issue"}).status, 0);
    std::string article = "issue/src/articles/03-your-magazine.txt";
    writeFile(article, readText(article) + "{colour #FF0000}A line of our own.\n");
    writeFile("issue/src/articles/04-more.txt", std::string("Title: More\nAuthor: Us\n\nMore to read.\n"));
    ChildResult built = tool({"build", "issue", "--dither"});
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_TRUE(contains(built.out, "issue: built and ready")) << built.out;
    std::vector<Article> articles = articlesOf("issue");
    ASSERT_EQ(articles.size(), 4u);
    std::string text(articles[2].text.begin(), articles[2].text.end());
    EXPECT_TRUE(contains(text, std::string("\xA2\xFF\x00\x00", 4) + "A line of our own.\n")) << text;
    EXPECT_EQ(articles[3].title, "More");

    // A broken source stops its own step and leaves the archive as it was.
    Bytes before = readFile("issue/data/orbex.dat");
    writeFile("issue/src/articles/04-more.txt", std::string("Title: More\nAuthor: Us\n\n{link 9 0 #000000}x\n"));
    std::filesystem::remove("issue/src/pictures/ende.png");
    built = tool({"build", "issue"});
    EXPECT_EQ(built.status, 1);
    EXPECT_TRUE(contains(built.err, "04-more.txt:4: expected {link")) << built.err;
    EXPECT_TRUE(contains(built.err, "ende.png: missing")) << built.err;
    EXPECT_EQ(readFile("issue/data/orbex.dat"), before);
}

TEST_F(NewMagazine, RefusesAFolderInUseAndATitleItCannotShow) {
    std::filesystem::create_directory("used");
    writeFile("used/notes.txt", std::string("mine"));
    ChildResult run = tool({"new", "used"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "used: exists and is not an empty folder")) << run.err;
    EXPECT_EQ(readText("used/notes.txt"), "mine");

    run = tool({"new", "fresh", "--title", "Pfeil \xE2\x86\x92"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, "--title")) << run.err;
    EXPECT_FALSE(std::filesystem::exists("fresh"));
    EXPECT_EQ(tool({"build", "used"}).status, 1);
}

} // namespace
} // namespace orbex::test
