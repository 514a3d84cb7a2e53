// orbex-tool export --html: every page's paragraphs are the lines of the
// viewer's page text of that article, links lead to the page and line they
// open, the cover is the start picture. --epub: the same pages as a book
// epubcheck accepts, the same bytes every time.
#include <zip.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "articles.h"
#include "common/articletext.h"
#include "edition.h"
#include "images.h"
#include "present/pagetext.h"
#include "support/child.h"
#include "support/magazine.h"
#include "support/page_files.h"
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

// A zip's entries in their order, with their contents.
std::vector<std::pair<std::string, std::string>> unzipped(const std::filesystem::path &path) {
    std::vector<std::pair<std::string, std::string>> entries;
    int error = 0;
    zip_t *archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    EXPECT_NE(archive, nullptr) << path;
    if (archive == nullptr)
        return entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_file_t *file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat) != 0 || file == nullptr) {
            ADD_FAILURE() << "entry " << i;
            break;
        }
        std::string bytes(stat.size, '\0');
        EXPECT_EQ(zip_fread(file, bytes.data(), stat.size), static_cast<zip_int64_t>(stat.size));
        zip_fclose(file);
        entries.emplace_back(stat.name, bytes);
    }
    zip_close(archive);
    return entries;
}

std::string textOf(const Bytes &bytes) { return {bytes.begin(), bytes.end()}; }

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

TEST_F(EditionTest, EpubBookIsValidHoldsTheHtmlEditionsTextAndIsTheSameEveryTime) {
    copySampleMagazine("mag");
    ChildResult html = runChild({ORBEX_TOOL_BINARY, "export", "mag", "out", "--html"});
    ASSERT_EQ(html.status, 0) << html.err;
    ChildResult epub = runChild({ORBEX_TOOL_BINARY, "export", "mag", "book.epub", "--epub"});
    ASSERT_EQ(epub.status, 0) << epub.err;
    const Bytes first = readFile("book.epub");

    // Reading systems find the type at a fixed place: the first entry,
    // stored, without an extra field.
    ASSERT_GT(first.size(), 58u);
    EXPECT_EQ(textOf(Bytes(first.begin(), first.begin() + 4)), "PK\x03\x04");
    EXPECT_EQ(first[8] | first[9] << 8, 0) << "compressed";
    EXPECT_EQ(first[28] | first[29] << 8, 0) << "extra field";
    EXPECT_EQ(textOf(Bytes(first.begin() + 30, first.begin() + 58)), "mimetypeapplication/epub+zip");

    const auto entries = unzipped(folder / "book.epub");
    std::map<std::string, std::string> files(entries.begin(), entries.end());
    const std::string &package = files["EPUB/package.opf"];
    EXPECT_TRUE(
        std::regex_search(package, std::regex("<dc:identifier id=\"id\">urn:uuid:[0-9a-f]{8}-[0-9a-f]{4}-8[0-9a-f]{"
                                              "3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}</dc:identifier>")))
        << package;
    EXPECT_NE(package.find("<dc:language>de</dc:language>"), std::string::npos);
    EXPECT_NE(package.find("<dc:title>ORBEX 5 - Beispielausgabe</dc:title>"), std::string::npos) << package;
    EXPECT_NE(package.find("href=\"cover.png\" media-type=\"image/png\" properties=\"cover-image\""),
              std::string::npos);

    // Every page of the HTML edition is in the book, in the magazine's
    // order, with the same text line for line; links stay inside the book.
    const std::regex itemref("<itemref idref=\"page-([0-9]+)\"/>");
    int pages = 0;
    for (std::sregex_iterator it(package.begin(), package.end(), itemref), end; it != end; ++it) {
        const int number = std::stoi((*it)[1]);
        EXPECT_EQ(number, ++pages);
        const std::string name = number == 1 ? "index" : "article-" + std::to_string(number);
        const std::string &page = files["EPUB/" + name + ".xhtml"];
        ASSERT_FALSE(page.empty()) << name;
        EXPECT_EQ(paragraphs(page), paragraphs(textOf(readFile("out/" + name + ".html")))) << name;
        EXPECT_EQ(page.find(".html\""), std::string::npos) << name;
        EXPECT_NE(files["EPUB/nav.xhtml"].find("<a href=\"" + name + ".xhtml\">"), std::string::npos) << name;
    }
    EXPECT_EQ(pages, 5);
    EXPECT_NE(files["EPUB/index.xhtml"].find("<a href=\"article-4.xhtml#l18\">"), std::string::npos);
    EXPECT_EQ(files["EPUB/cover.png"], textOf(readFile("out/cover.png")));

    // Debian's epubcheck is a jar that only binfmt makes a command, which a
    // container may lack: java runs it either way.
    const char *const checkerJar = "/usr/share/java/epubcheck.jar";
    const bool checker = std::filesystem::exists(checkerJar) && std::filesystem::exists("/usr/bin/java");
    if (checker) {
        ChildResult check = runChild({"/usr/bin/java", "-jar", checkerJar, "book.epub"}, 100);
        EXPECT_EQ(check.status, 0) << check.out << check.err;
        EXPECT_EQ((check.out + check.err).find("ERROR"), std::string::npos) << check.out << check.err;
        EXPECT_EQ((check.out + check.err).find("WARNING"), std::string::npos) << check.out << check.err;
    }

    // Later, in another time zone, over the first book: the same bytes.
    epub = runChild({ORBEX_TOOL_BINARY, "export", "mag", "book.epub", "--epub"}, 60, {"TZ=Pacific/Kiritimati"});
    ASSERT_EQ(epub.status, 0) << epub.err;
    EXPECT_EQ(readFile("book.epub"), first);
    if (!checker)
        GTEST_SKIP() << "epubcheck is not installed (Debian package epubcheck, " << checkerJar
                     << "): the book was not validated";
}

TEST_F(EditionTest, EpubTakesItsDateFromSourceDateEpochAndWritesNoLink) {
    copySampleMagazine("mag");
    ChildResult run =
        runChild({ORBEX_TOOL_BINARY, "export", "mag", "book.epub", "--epub"}, 60, {"SOURCE_DATE_EPOCH=1700000000"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto entries = unzipped(folder / "book.epub");
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().first, "mimetype");
    std::map<std::string, std::string> files(entries.begin(), entries.end());
    EXPECT_NE(files["EPUB/package.opf"].find("<meta property=\"dcterms:modified\">2023-11-14T22:13:20Z</meta>"),
              std::string::npos);

    // A date that is none is an error, not today's date.
    run = runChild({ORBEX_TOOL_BINARY, "export", "mag", "other.epub", "--epub"}, 60, {"SOURCE_DATE_EPOCH=yesterday"});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("SOURCE_DATE_EPOCH"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists("other.epub"));

    // A link in the book's place is refused and what it points to is kept.
    writeFile("target", Bytes{'x'});
    std::filesystem::create_symlink("target", "linked.epub");
    run = runChild({ORBEX_TOOL_BINARY, "export", "mag", "linked.epub", "--epub"});
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(readFile("target"), Bytes{'x'});
    EXPECT_TRUE(std::filesystem::is_symlink("linked.epub"));
}

// A book must be XML throughout and every link must find its place, or
// reading systems refuse it: markup characters and control bytes in titles
// and module names, a link past the last line or to no article.
TEST_F(EditionTest, EpubStaysWellFormedAndItsLinksLandWhateverTheMagazineSays) {
    TestMagazine magazine;
    const std::string contents = "d\n" + articleLink("2", "50", 0xFFC850, 0x60FFFF, "Far") + "\n" +
                                 articleLink("7", "0", 0xFFC850, 0x60FFFF, "None") + "\n" +
                                 musicLink("a\x01<b>.xm", 0xFFC850, 0x60FFFF, "Tune") + "\n";
    magazine.archive = archiveOf({contents, "xA<&>\x02\"B\nC&D\n\nshort\nend\n"});
    magazine.write("mag");
    ChildResult run = runChild({ORBEX_TOOL_BINARY, "export", "mag", "book.epub", "--epub"});
    ASSERT_EQ(run.status, 0) << run.err;

    const auto entries = unzipped(folder / "book.epub");
    std::map<std::string, std::string> files(entries.begin(), entries.end());
    const std::string &index = files["EPUB/index.xhtml"];
    const std::string &article = files["EPUB/article-2.xhtml"];
    const auto last = paragraphs(article).size() - 1;
    EXPECT_NE(index.find("<a href=\"article-2.xhtml#l" + std::to_string(last) + "\">"), std::string::npos) << index;
    EXPECT_NE(index.find("<span class=\"dead\">"), std::string::npos) << index;
    EXPECT_NE(index.find("title=\"Music: a &lt;b&gt;.xm\""), std::string::npos) << index;
    EXPECT_NE(article.find("<title>A&lt;&amp;&gt; &quot;B</title>"), std::string::npos) << article;

    if (!std::filesystem::exists("/usr/bin/python3"))
        GTEST_SKIP() << "python3 is not installed: the book's XML was not parsed";
    ChildResult parse =
        runChild({"/usr/bin/python3", "-c",
                  "import sys, zipfile, xml.dom.minidom as dom\n"
                  "book = zipfile.ZipFile(sys.argv[1])\n"
                  "for name in book.namelist():\n"
                  "    if name.endswith(('.xhtml', '.opf', '.xml')): dom.parseString(book.read(name))\n",
                  "book.epub"});
    EXPECT_EQ(parse.status, 0) << parse.err;
}

TEST_F(EditionTest, ExportWantsExactlyOneEdition) {
    copySampleMagazine("mag");
    EXPECT_NE(runChild({ORBEX_TOOL_BINARY, "export", "mag", "out"}).status, 0);
    EXPECT_NE(runChild({ORBEX_TOOL_BINARY, "export", "mag", "out", "--html", "--epub"}).status, 0);
    EXPECT_FALSE(std::filesystem::exists("out"));
}

// The edition holds exactly the articles the viewer shows, each titled; a
// magazine that gives none is refused.
struct ArchiveCase {
    const char *name;
    std::string archive;
    int status;
    int pages;          // of the HTML edition
    const char *said;   // in what export says, or ""
    const char *titled; // the last page's <h1>, or ""
};

void PrintTo(const ArchiveCase &c, std::ostream *out) { *out << c.name; }

class EditionArchives : public ViewerTest, public ::testing::WithParamInterface<ArchiveCase> {};

TEST_P(EditionArchives, GiveThePagesTheViewerShows) {
    const ArchiveCase &c = GetParam();
    TestMagazine magazine;
    magazine.archive = c.archive;
    magazine.write("mag");
    ChildResult run = runChild({ORBEX_TOOL_BINARY, "export", "mag", "out", "--html"});
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    int pages = 0;
    while (std::filesystem::exists(folder / "out" / editionPage(pages + 1)))
        ++pages;
    EXPECT_EQ(pages, c.pages);
    if (*c.titled != 0 && pages > 0) {
        EXPECT_NE(textOf(readFile("out/" + editionPage(pages))).find(std::string("<h1>") + c.titled + "</h1>"),
                  std::string::npos);
    }
}

std::string separators(std::size_t n) { return "d\nContents\n" + std::string(n, '\x9E'); }

INSTANTIATE_TEST_SUITE_P(
    Table, EditionArchives,
    ::testing::Values(
        ArchiveCase{"NoSeparator", "d\nOne page only\n", 0, 1, "", ""},
        ArchiveCase{"TextAfterTheLastSeparator", archiveOf({"d\nContents\n"}) + "XBehind\nAuthor\n\nshown too\n", 0, 2,
                    "", "Behind"},
        ArchiveCase{"BlankTitle", archiveOf({"d\nContents\n", "X   \nAuthor\n\ntext\n"}), 0, 2, "", "Artikel 2"},
        ArchiveCase{"ControlTitle", archiveOf({"d\nContents\n", "X\x01\x02\x1b\nAuthor\n\ntext\n"}), 0, 2, "",
                    "Artikel 2"},
        ArchiveCase{"Empty", "", 1, 0, "holds no article", ""},
        ArchiveCase{"MoreThanALinkReaches", separators(MAX_ARTICLES + 40), 0, static_cast<int>(MAX_ARTICLES),
                    "holds 2317 articles; a link reaches no article past 2277, so the edition ends there", ""}),
    [](const ::testing::TestParamInfo<ArchiveCase> &info) { return std::string(info.param.name); });

// Blank and control-only titles make a book epubcheck takes.
TEST_F(EditionTest, UntitledArticlesMakeAValidBook) {
    TestMagazine magazine;
    magazine.archive = archiveOf({"d\n\x01\x02\n", "X \nAuthor\n\ntext\n", "X\x03\x04\nA\n\nmore\n"});
    magazine.write("mag");
    ChildResult run = runChild({ORBEX_TOOL_BINARY, "export", "mag", "book.epub", "--epub"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto entries = unzipped(folder / "book.epub");
    std::map<std::string, std::string> files(entries.begin(), entries.end());
    EXPECT_NE(files["EPUB/package.opf"].find("<dc:title>Inhalt</dc:title>"), std::string::npos);
    EXPECT_NE(files["EPUB/nav.xhtml"].find(">Artikel 3</a>"), std::string::npos) << files["EPUB/nav.xhtml"];
    const char *const checkerJar = "/usr/share/java/epubcheck.jar";
    if (!std::filesystem::exists(checkerJar) || !std::filesystem::exists("/usr/bin/java"))
        GTEST_SKIP() << "epubcheck is not installed (Debian package epubcheck): the book was not validated";
    ChildResult check = runChild({"/usr/bin/java", "-jar", checkerJar, "book.epub"}, 100);
    EXPECT_EQ(check.status, 0) << check.out << check.err;
}

// Export reads as every tool does: a file of the magazine that is a link is
// refused with its name, and nothing of what it points to reaches an edition.
TEST_F(EditionTest, ExportTakesNoLink) {
    TestMagazine magazine;
    magazine.archive = archiveOf({"d\nContents\n"});
    magazine.write("mag");
    writeFile("secret.txt", std::string("d\nthe reader's secret\n\x9E"));
    std::filesystem::remove("mag/data/orbex.dat");
    std::filesystem::create_symlink(folder / "secret.txt", "mag/data/orbex.dat");
    for (const char *edition : {"--html", "--epub"}) {
        const std::string out = edition == std::string("--html") ? "out" : "book.epub";
        ChildResult run = runChild({ORBEX_TOOL_BINARY, "export", "mag", out, edition});
        EXPECT_EQ(run.status, 1) << edition;
        EXPECT_NE(run.err.find("mag/data/orbex.dat: a symbolic link, which orbex-tool does not follow"),
                  std::string::npos)
            << run.err;
        EXPECT_FALSE(std::filesystem::exists(folder / "out" / "index.html")) << edition;
        EXPECT_FALSE(std::filesystem::exists(folder / "book.epub")) << edition;
    }
    // A linked font is refused the same way, though the viewer would read it.
    std::filesystem::remove("mag/data/orbex.dat");
    writeFile("mag/data/orbex.dat", archiveOf({"d\nContents\n"}));
    std::filesystem::rename("mag/data/chars.168", "font");
    std::filesystem::create_symlink(folder / "font", "mag/data/chars.168");
    ChildResult run = runChild({ORBEX_TOOL_BINARY, "export", "mag", "out", "--html"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("mag/data/chars.168: a symbolic link"), std::string::npos) << run.err;
}

} // namespace
} // namespace orbex::test
