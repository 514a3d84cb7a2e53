// Article sources built into the archive: what the viewer selects and where
// it finds the links, and the sources it could not show.
#include <algorithm>

#include "articles.h"
#include "support/reports.h"
#include "support/viewer_test.h"
#include "text/archive.h"

namespace orbex::test {
namespace {

class ArticlesTest : public ViewerTest {};

std::vector<ArticleSource> sampleSources() {
    return {
        {"01-inhalt.txt", "{colour #FFC850}Inhalt{colour 255 255 255}\n\n"
                          "{link 2 0 #102030 #405060}Erster{/link}\n"
                          "{link 12 34 #000000 #FFFFFF}Weit{/link}\n"
                          "{music modul2.xm #10FF20 #FFFF60}Musik{/music}\n"},
        {"02-a.txt", "Title: Gr\xC3\xBC\xC3\x9F"
                     "e\nAuthor: Die Redaktion\n\n\nText {{ und } \xE2\x82\xAC.\n"},
    };
}

TEST_F(ArticlesTest, ArchiveSelectsInTheViewerWithLinksWhereTheViewerLooks) {
    std::vector<ArticleSource> sources = sampleSources();
    for (int i = 3; i <= 12; ++i)
        sources.push_back({"x.txt", "Title: T" + std::to_string(i) + "\nAuthor: A\n\nx" + std::string(40, '\n')});
    Report report;
    std::vector<std::uint8_t> archive;
    ASSERT_TRUE(buildArchive(sources, archive, report)) << report.errors.front();
    EXPECT_TRUE(report.warnings.empty()) << report.warnings.front();
    EXPECT_EQ(std::count(archive.begin(), archive.end(), ARTICLE_SEPARATOR), 12);
    EXPECT_EQ(archive.back(), ARTICLE_SEPARATOR);
    EXPECT_EQ(std::count(archive.begin(), archive.end(), 0x0D) + std::count(archive.begin(), archive.end(), 0x1A), 0);
    ASSERT_TRUE(writeBytes("data/orbex.dat", archive));
    loadArchive();

    selectArticle(1);
    EXPECT_EQ(nArticle, 1);
    const std::uint8_t *t = szText.data();
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(t), 14),
              std::string("\xA2\xFF\xC8\x50Inhalt\xA2\xFF\xFF\xFF"));
    // One-digit link: numbers at +2 and +5, colours blue first, text at +13.
    const std::uint8_t *link = std::find(t, t + 100, 0x9F);
    EXPECT_EQ(link[2], '2');
    EXPECT_NE(link[4], ']');
    EXPECT_EQ(link[5], '0');
    EXPECT_NE(link[7], ']');
    EXPECT_EQ(Bytes(link + 7, link + 13), (Bytes{0x30, 0x20, 0x10, 0x60, 0x50, 0x40}));
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(link + 13), 7), "Erster\x9F");
    // Two-digit numbers: "]" after each, text at +15.
    link = std::find(link + 1 + 13 + 6, t + 200, 0x9F);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(link + 2), 7), "12] 34]");
    EXPECT_EQ(Bytes(link + 9, link + 15), (Bytes{0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(link + 15), 5), "Weit\x9F");
    // Music link: no quote before the name, one after it.
    link = std::find(t, t + 200, 0xA8);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(link + 1), 10), "modul2.xm\"");
    EXPECT_EQ(Bytes(link + 11, link + 17), (Bytes{0x20, 0xFF, 0x10, 0x60, 0xFF, 0xFF}));
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(link + 17), 6), "Musik\xA8");
    EXPECT_EQ(nLineCount, 5);

    selectArticle(2);
    EXPECT_STREQ(szTitle.data(), "Gr\xFC\xDF"
                                 "e");
    EXPECT_EQ(nTitleLength, 5);
    EXPECT_STREQ(szAuthor.data(), "Die Redaktion");
    EXPECT_STREQ(reinterpret_cast<const char *>(szText.data()), "Text { und } \x80.\n");

    // The tool reads its archive back the same way.
    std::vector<Article> articles = decodeArchive(archive, report);
    ASSERT_EQ(articles.size(), 12u);
    ASSERT_EQ(articles[0].links.size(), 3u);
    EXPECT_EQ(articles[0].links[1].target, 12);
    EXPECT_EQ(articles[0].links[1].line, 34);
    EXPECT_EQ(articles[0].links[2].file, "modul2.xm");
    EXPECT_EQ(articles[0].links[2].text, "Musik");
    EXPECT_EQ(articles[1].title, "Gr\xFC\xDF"
                                 "e");
    EXPECT_TRUE(report.ok());
}

TEST_F(ArticlesTest, ColourBytesThatWouldBreakTheArchiveAreNudged) {
    Report report;
    Article article;
    ASSERT_TRUE(compileArticle({"a.txt", "{link 1 5 #00005D #0D1A9E}x{/link}{colour 10 159 168}\n"}, article, report));
    // One-digit line: a normal blue of "]" would read as a second digit.
    EXPECT_EQ(article.text[7], 0x5C);
    EXPECT_EQ(Bytes(article.text.begin() + 10, article.text.begin() + 13), (Bytes{0x9D, 0x19, 0x0C}));
    EXPECT_EQ(Bytes(article.text.begin() + 16, article.text.begin() + 19), (Bytes{0x09, 0x9D, 0xA7}));
    EXPECT_TRUE(hasWarning(report, "0x5C"));
    EXPECT_EQ(findLinks(article.text)[0].line, 5);
    // With a two-digit line the same blue is harmless and kept.
    ASSERT_TRUE(compileArticle({"a.txt", "{link 1 50 #00005D #000000}x{/link}"}, article, report));
    EXPECT_EQ(article.text[8], 0x5D);
}

TEST_F(ArticlesTest, SourcesThatTheViewerCannotShowAreRefused) {
    struct Case {
        const char *source;
        const char *error;
    } cases[] = {
        {"Title: "
         "12345678901234567890123456789012345678901234567890\nAuthor: a\nx",
         "at most 49"},
        {"Title: a\nx", "Author:"},
        {"Title: Preis $5\nAuthor: a\nx", "$"},
        {"ein \xC5\xBE", "separates the articles"},
        {"Preis \xC2\xA2", "colour code"},
        {"Pfeil \xE2\x86\x92", "no Windows-1252"},
        {"kaputt \xFF", "not UTF-8"},
        {"a\tb", "tab"},
        {"a\x1A"
         "b",
         "control character"},
        {"{link 3 0 #000000 #FFFFFF}weit{/link}", "article 3"},
        {"{link 1 100 #000000 #FFFFFF}x{/link}", "line L 0..99"},
        {"{link 1 0 #000000}x{/link}", "expected {link"},
        {"{link 1 0 #000000 #FFFFFF #FFFFFF}x{/link}", "expected {link"},
        {"{music a.xm #000000}x{/music}", "expected {music"},
        {"{link 1 0 #000000 #FFFFFF}offen\nx", "not closed"},
        {"{music abcdefghijklmnop #000000 #FFFFFF}x{/music}", "longer than 15"},
        {"{music a.xm #000000 #FFFFFF}x{/link}", "without its opening"},
        {"{fett}", "unknown markup"},
        {"{colour 1 2}", "colour R G B"},
        {"a { b", "without \"}\""},
    };
    for (const Case &c : cases) {
        Report report;
        std::vector<std::uint8_t> archive;
        EXPECT_FALSE(buildArchive({{"01-a.txt", c.source}}, archive, report)) << c.source;
        EXPECT_TRUE(hasError(report, c.error)) << c.source << " -> " << (report.ok() ? "" : report.errors.front());
        EXPECT_TRUE(report.ok() || report.errors.front().find("01-a.txt:") == 0);
    }
    Report report;
    std::vector<std::uint8_t> archive;
    EXPECT_FALSE(
        buildArchive({{"01-a.txt", "{link 1 0 #000000 #FFFFFF}" + std::string(81, 'x') + "{/link}"}}, archive, report));
    EXPECT_TRUE(hasError(report, "at most 80"));
}

TEST_F(ArticlesTest, LayoutWarningsForLinesTheViewerCuts) {
    Report report;
    Article article;
    compileArticle({"a.txt", std::string(77, 'x') + "\n" + std::string(76, 'y') + "\n"}, article, report);
    ASSERT_EQ(report.warnings.size(), 1u);
    EXPECT_NE(report.warnings[0].find("a.txt:1:"), std::string::npos);
    // 14 header bytes make a 70-character link line wrap once it is above the window.
    report = Report{};
    compileArticle({"a.txt", "{link 1 0 #000000 #FFFFFF}" + std::string(70, 'z') + "{/link}\n"}, article, report);
    EXPECT_TRUE(hasWarning(report, "page jumps"));
}

TEST_F(ArticlesTest, SourceFolderNumbersMustRunWithoutGaps) {
    std::filesystem::create_directory("src");
    writeFile("src/01-inhalt.txt", std::string("Inhalt\n"));
    writeFile("src/03-c.txt", std::string("Title: c\nAuthor: a\nx\n"));
    writeFile("src/notes.md", std::string("ignored"));
    std::vector<ArticleSource> sources;
    Report report;
    EXPECT_FALSE(loadArticleSources("src", sources, report));
    EXPECT_TRUE(hasError(report, "expected 2"));
    writeFile("src/02-b.txt", std::string("Title: b\nAuthor: a\nx\n"));
    sources.clear();
    Report fine;
    ASSERT_TRUE(loadArticleSources("src", sources, fine));
    ASSERT_EQ(sources.size(), 3u);
    EXPECT_EQ(sources[1].name, "src/02-b.txt");
}

} // namespace
} // namespace orbex::test
