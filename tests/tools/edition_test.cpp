// orbex-tool export --html: every page's paragraphs are the lines of the
// viewer's page text of that article, links lead to the page and line they
// open, the cover is the start picture.
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "common/articletext.h"
#include "images.h"
#include "present/pagetext.h"
#include "support/child.h"
#include "support/magazine.h"
#include "support/viewer_test.h"
#include "text/archive.h"

namespace orbex::test {
namespace {

std::string unescaped(std::string text) {
    for (const auto &[entity, c] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}}) {
        for (std::size_t at; (at = text.find(entity)) != std::string::npos;)
            text.replace(at, std::string(entity).size(), c);
    }
    return text;
}

// The paragraphs of a page's text, tags taken out.
std::vector<std::string> paragraphs(const std::string &html) {
    std::vector<std::string> lines;
    const std::regex line("<p id=\"l([0-9]+)\">(.*)</p>");
    const std::regex tag("<[^>]*>");
    for (std::sregex_iterator it(html.begin(), html.end(), line), end; it != end; ++it) {
        EXPECT_EQ(std::stoul((*it)[1]), lines.size());
        lines.push_back(unescaped(std::regex_replace((*it)[2].str(), tag, "")));
    }
    return lines;
}

class EditionTest : public ViewerTest {};

TEST_F(EditionTest, HtmlPagesHoldTheArticlesTextWithLinksToTheirLines) {
    copySampleMagazine("mag");
    ChildResult run = runChild({ORBEX_TOOL_BINARY, "export", "mag", "out", "--html"});
    ASSERT_EQ(run.status, 0) << run.err;

    std::filesystem::current_path("mag");
    loadArchive();
    std::filesystem::current_path("..");
    int pages = 0;
    for (int number = 1; std::filesystem::exists(
             folder / "out" /
             (number == 1 ? std::string("index.html") : "article-" + std::to_string(number) + ".html"));
         ++number) {
        const std::string name = number == 1 ? "index.html" : "article-" + std::to_string(number) + ".html";
        const Bytes bytes = readFile("out/" + name);
        const std::string html(bytes.begin(), bytes.end());
        nArticle = number;
        selectArticle(number);
        const ArticleText &text = articleTextAt(0.0f);
        const std::vector<std::string> lines = paragraphs(html);
        ASSERT_EQ(static_cast<std::int32_t>(lines.size()), text.lineCount) << name;
        for (std::int32_t line = 0; line < text.lineCount; ++line)
            EXPECT_EQ(lines[static_cast<std::size_t>(line)], lineUtf8(text, line)) << name << " line " << line;
        if (number > 1) {
            EXPECT_NE(html.find("<h1>" + std::string(szTitle.data()).substr(0, 3)), std::string::npos) << name;
        }
        ++pages;
    }
    EXPECT_EQ(pages, 5);

    // The contents page's links open the articles at their lines, and the
    // text is UTF-8.
    const Bytes index = readFile("out/index.html");
    const std::string html(index.begin(), index.end());
    EXPECT_NE(html.find("<a href=\"article-4.html#l18\">"), std::string::npos);
    EXPECT_NE(html.find("\xC3\xB6"
                        "ffnet"),
              std::string::npos);
    EXPECT_NE(html.find("<img class=\"cover\" src=\"cover.png\""), std::string::npos);
    RgbImage cover;
    Report report;
    ASSERT_TRUE(readPng((folder / "out" / "cover.png").string(), cover, report));
    EXPECT_EQ(cover.rgb, readFile("mag/data/begin.raw"));
}

TEST_F(EditionTest, RefusesAFolderThatIsNoMagazine) {
    std::filesystem::create_directory("empty");
    ChildResult run = runChild({ORBEX_TOOL_BINARY, "export", "empty", "out", "--html"});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("the viewer"), std::string::npos) << run.err;
}

} // namespace
} // namespace orbex::test
