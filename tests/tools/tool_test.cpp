#include <unistd.h>

#include <algorithm>
#include <random>

#include "articles.h"
#include "check.h"
#include "demo_module.h"
#include "files.h"
#include "fontsource.h"
#include "images.h"
#include "picture/pcx.h"
#include "picture/pictures.h"
#include "platform/headless/headless.h"
#include "render.h"
#include "shell/assets.h"
#include "support/viewer_test.h"
#include "text/archive.h"
#include "text/font.h"

namespace orbex::test {
namespace {

class ToolTest : public ViewerTest {};

bool hasWarning(const Report &report, const std::string &part) {
    return std::any_of(report.warnings.begin(), report.warnings.end(),
                       [&](const std::string &w) { return w.find(part) != std::string::npos; });
}
bool hasError(const Report &report, const std::string &part) {
    return std::any_of(report.errors.begin(), report.errors.end(),
                       [&](const std::string &e) { return e.find(part) != std::string::npos; });
}

// --- Font -------------------------------------------------------------------

TEST_F(ToolTest, FontLoadsIntoTheViewerGlyphForGlyph) {
    Report report;
    auto glyphs = parseHexFont("# a comment\n"
                               "0041:0000000018242442427E424242420000\n"
                               "00C4:2424000018242442427E424242420000\n"
                               "20AC:000000000C12207C207C2020120C0000\n"
                               // Control pictures must not reach glyphs 0 and 10.
                               "0000:FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF\n"
                               "000A:FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF\n"
                               "0020:FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF\n"
                               // A wide glyph is squeezed: column pairs 0..1 and 14..15 set.
                               "2030:C003C003C003C003C003C003C003C003C003C003C003C003C003C003C003C003\n",
                               report);
    ASSERT_TRUE(report.ok());
    std::vector<std::uint8_t> font = buildFont(glyphs, report);
    ASSERT_EQ(font.size(), FONT_FILE_SIZE);
    EXPECT_TRUE(hasWarning(report, "0x42")); // "B" has no glyph here
    EXPECT_TRUE(std::all_of(font.begin(), font.end(), [](std::uint8_t b) { return b <= 1; }));
    ASSERT_TRUE(writeBytes("data/chars.168", font));

    loadFont();
    EXPECT_TRUE(headless::messageBoxes().empty());
    // Whatever the glyph stride of the buffer, columns are 32 rows apart.
    const std::size_t stride = FontBitmap.size() / 256;
    auto pixel = [stride](int glyph, int column, int row) { return FontBitmap[glyph * stride + column * 32 + row]; };
    // "A": row 5 is 0x24 (columns 2 and 5), row 9 is 0x7E (columns 1..6).
    EXPECT_EQ(pixel('A', 2, 5), 1);
    EXPECT_EQ(pixel('A', 5, 5), 1);
    EXPECT_EQ(pixel('A', 0, 5), 0);
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(pixel('A', c, 9), c >= 1 && c <= 6 ? 1 : 0) << c;
    EXPECT_EQ(pixel(0xC4, 2, 0), 1); // the dots of "Ä"
    EXPECT_EQ(pixel(0x80, 4, 4), 1); // "€" through Windows-1252
    EXPECT_EQ(pixel(0x89, 0, 7), 1);
    EXPECT_EQ(pixel(0x89, 7, 7), 1);
    EXPECT_EQ(pixel(0x89, 3, 7), 0);
    for (int glyph : {0, 10, 13, 32})
        for (std::size_t i = 0; i < stride; ++i)
            ASSERT_EQ(FontBitmap[glyph * stride + i], 0) << glyph;
    EXPECT_EQ(fontGlyph(font, 'A')[9], 0x7E);
}

TEST_F(ToolTest, FontSourceErrorsNameTheLine) {
    Report report;
    parseHexFont("0041:00000000182424\n\nzz41:0000000018242442427E424242420000\n", report);
    ASSERT_EQ(report.errors.size(), 2u);
    EXPECT_NE(report.errors[0].find("line 1"), std::string::npos);
    EXPECT_NE(report.errors[1].find("line 3"), std::string::npos);
}

TEST_F(ToolTest, SampleFontHasEveryCharacter) {
    std::vector<std::uint8_t> source;
    ASSERT_TRUE(readBytes(ORBEX_MAGAZINE_SOURCES "/font.hex", source));
    Report report;
    buildFont(parseHexFont(std::string(source.begin(), source.end()), report), report);
    EXPECT_TRUE(report.ok());
    EXPECT_TRUE(report.warnings.empty()) << report.warnings.front();
}

// --- Pictures ---------------------------------------------------------------

IndexedImage testPattern(int width, int height) {
    IndexedImage image;
    image.width = width;
    image.height = height;
    image.indices.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            // Long runs (past 63), single pixels, and values of 0xC0 and above.
            image.indices[static_cast<std::size_t>(y) * width + x] =
                static_cast<std::uint8_t>(x < width / 2 ? (y * 7) & 0xFF : (x * 13 + y) & 0xFF);
    for (int i = 0; i < 768; ++i)
        image.palette[i] = static_cast<std::uint8_t>(255 - i % 256);
    return image;
}

TEST_F(ToolTest, WrittenPcxReadsBackThroughTheViewersReaders) {
    Report report;
    IndexedImage picture = testPattern(640, 480);
    std::vector<std::uint8_t> file;
    ASSERT_TRUE(encodePcx(picture, file, report));
    EXPECT_EQ(file[1], 5);
    EXPECT_EQ(file[2], 1);
    EXPECT_EQ(file[3], 8);
    EXPECT_EQ(file[65], 1);
    EXPECT_EQ(file[66] | (file[67] << 8), 640);
    EXPECT_EQ(file[file.size() - 769], 0x0C);
    ASSERT_TRUE(writeBytes("data/BG_8b.pcx", file));
    readPcx("data/BG_8b.pcx", PCX_READ_PALETTE, 0, 0);
    EXPECT_TRUE(std::equal(picPcx.begin(), picPcx.end(), picture.indices.begin()));
    EXPECT_TRUE(std::equal(palPcx.begin(), palPcx.end(), picture.palette.begin()));

    IndexedImage pointer = testPattern(32, 32);
    ASSERT_TRUE(encodePcx(pointer, file, report));
    ASSERT_TRUE(writeBytes("data/cursor.pcx", file));
    readCursorPcx("data/cursor.pcx", PCX_READ_PALETTE, 0, 0);
    for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 32; ++y)
            ASSERT_EQ(abCursorMask[x * 32 + y], pointer.indices[y * 32 + x]) << x << "," << y;

    // The tool's own decoder agrees, for check.
    IndexedImage back;
    ASSERT_TRUE(decodePcx(file, back, report));
    EXPECT_EQ(back.indices, pointer.indices);
    EXPECT_TRUE(report.ok());
}

TEST_F(ToolTest, QuantizeKeepsFewColoursExactlyAndCutsManyTo256) {
    Report report;
    RgbImage few{4, 2, {1, 2, 3, 200, 0, 0, 1, 2, 3, 0, 0, 0, 9, 9, 9, 200, 0, 0, 0, 0, 0, 1, 2, 3}};
    IndexedImage indexed = quantize(few, report);
    for (int i = 0; i < 8; ++i)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(indexed.palette[3 * indexed.indices[i] + c], few.rgb[3 * i + c]);
    EXPECT_TRUE(report.warnings.empty());

    RgbImage many{64, 64, {}};
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            many.rgb.insert(many.rgb.end(), {static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 4),
                                             static_cast<std::uint8_t>(128)});
    for (bool dither : {false, true}) {
        Report reduced;
        indexed = quantize(many, reduced, {dither, false});
        EXPECT_TRUE(hasWarning(reduced, "reduced to")) << dither;
        EXPECT_TRUE(reduced.ok());
        long total = 0;
        for (std::size_t i = 0; i < 64 * 64; ++i)
            for (int c = 0; c < 3; ++c)
                total += std::abs(indexed.palette[3 * indexed.indices[i] + c] - many.rgb[3 * i + c]);
        EXPECT_LT(total / (64 * 64 * 3), 6) << dither;
    }
}

// The viewer shows pure black in the pointer as transparent: reducing the
// colours must neither punch holes into it nor fill its transparent parts.
TEST_F(ToolTest, PointerKeepsItsTransparentBlackThroughColourReduction) {
    RgbImage pointer{32, 32, {}};
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0xFF; };
    for (int i = 0; i < 32 * 32; ++i) {
        std::uint32_t kind = next() % 4;
        std::uint8_t r = 0, g = 0, b = 0;
        if (kind == 1) // almost black, but opaque
            r = static_cast<std::uint8_t>(next() % 2), g = static_cast<std::uint8_t>(next() % 2), b = r + g == 0;
        else if (kind >= 2)
            r = static_cast<std::uint8_t>(next()), g = static_cast<std::uint8_t>(next()),
            b = static_cast<std::uint8_t>(next());
        pointer.rgb.insert(pointer.rgb.end(), {r, g, b});
    }
    for (bool dither : {false, true}) {
        Report report;
        IndexedImage indexed = quantize(pointer, report, {dither, true});
        ASSERT_TRUE(hasWarning(report, "reduced to")) << "more than 256 colours expected";
        for (int i = 0; i < 32 * 32; ++i) {
            const std::uint8_t *source = &pointer.rgb[3 * i];
            const std::uint8_t *shown = &indexed.palette[3 * indexed.indices[i]];
            bool sourceBlack = source[0] + source[1] + source[2] == 0;
            bool shownBlack = shown[0] + shown[1] + shown[2] == 0;
            ASSERT_EQ(sourceBlack, shownBlack) << "pixel " << i << " dither " << dither;
        }
    }
}

TEST_F(ToolTest, PicturesOfTheWrongShapeAreRefused) {
    Report report;
    std::vector<std::uint8_t> out;
    EXPECT_FALSE(encodePcx(testPattern(31, 32), out, report));
    EXPECT_TRUE(hasError(report, "odd"));
    EXPECT_FALSE(encodeRaw(RgbImage{320, 200, std::vector<std::uint8_t>(320 * 200 * 3)}, out, report));
    EXPECT_TRUE(hasError(report, "640x480"));

    RgbImage start{640, 480, std::vector<std::uint8_t>(640 * 480 * 3)};
    start.rgb[0] = 10, start.rgb[1] = 20, start.rgb[2] = 30;
    Report fine;
    ASSERT_TRUE(writePng("start.png", start));
    RgbImage back;
    ASSERT_TRUE(readPng("start.png", back, fine));
    ASSERT_TRUE(encodeRaw(back, out, fine));
    ASSERT_EQ(out.size(), 921600u);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[2], 30);

    writeFile("broken.png", std::string("not a picture"));
    EXPECT_FALSE(readPng("broken.png", back, report));
    EXPECT_TRUE(hasError(report, "broken.png"));
    IndexedImage decoded;
    EXPECT_FALSE(decodePcx(std::vector<std::uint8_t>(100, 0x0A), decoded, report));
    ASSERT_TRUE(encodePcx(testPattern(64, 64), out, report));
    out.erase(out.begin() + 300, out.end() - 769);
    Report shortData;
    EXPECT_FALSE(decodePcx(out, decoded, shortData));
    EXPECT_TRUE(hasError(shortData, "ends early"));
}

// --- Archive ----------------------------------------------------------------

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

TEST_F(ToolTest, ArchiveSelectsInTheViewerWithLinksWhereTheViewerLooks) {
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

TEST_F(ToolTest, ColourBytesThatWouldBreakTheArchiveAreNudged) {
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

TEST_F(ToolTest, SourcesThatTheViewerCannotShowAreRefused) {
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

TEST_F(ToolTest, LayoutWarningsForLinesTheViewerCuts) {
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

TEST_F(ToolTest, SourceFolderNumbersMustRunWithoutGaps) {
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

// --- The sample magazine ----------------------------------------------------

// The sample magazine from its sources into the working directory.
void buildSampleMagazine() {
    std::vector<ArticleSource> sources;
    Report report;
    ASSERT_TRUE(loadArticleSources(ORBEX_MAGAZINE_SOURCES "/articles", sources, report));
    std::vector<std::uint8_t> archive;
    ASSERT_TRUE(buildArchive(sources, archive, report)) << report.errors.front();
    EXPECT_TRUE(report.warnings.empty()) << report.warnings.front();
    ASSERT_TRUE(writeBytes("data/orbex.dat", archive));

    std::vector<std::uint8_t> source;
    ASSERT_TRUE(readBytes(ORBEX_MAGAZINE_SOURCES "/font.hex", source));
    ASSERT_TRUE(writeBytes("data/chars.168",
                           buildFont(parseHexFont(std::string(source.begin(), source.end()), report), report)));
    struct Picture {
        const char *source, *target;
    } pictures[] = {{"ende", "data/ende.pcx"}, {"bg", "data/BG_8b.pcx"}, {"cursor", "data/cursor.pcx"}};
    for (const Picture &p : pictures) {
        RgbImage image;
        std::vector<std::uint8_t> pcx;
        ASSERT_TRUE(readPng(std::string(ORBEX_MAGAZINE_SOURCES "/pictures/") + p.source + ".png", image, report));
        ASSERT_TRUE(encodePcx(quantize(image, report), pcx, report));
        ASSERT_TRUE(writeBytes(p.target, pcx));
    }
    RgbImage start;
    std::vector<std::uint8_t> raw;
    ASSERT_TRUE(readPng(ORBEX_MAGAZINE_SOURCES "/pictures/begin.png", start, report));
    ASSERT_TRUE(encodeRaw(start, raw, report));
    ASSERT_TRUE(writeBytes("data/begin.raw", raw));
}

TEST_F(ToolTest, SampleMagazineBuildsCleanlyAndChecksOut) {
    buildSampleMagazine();
    Report report;
    std::vector<std::uint8_t> archive;
    ASSERT_TRUE(readBytes("data/orbex.dat", archive));
    // Everything but the music is there.
    Report check;
    EXPECT_FALSE(checkMagazine(".", check));
    for (const std::string &e : check.errors)
        EXPECT_NE(e.find(".xm"), std::string::npos) << e;
    EXPECT_TRUE(check.warnings.empty()) << check.warnings.front();
    ASSERT_TRUE(writeDemoModule("extreme2.xm", 1));
    ASSERT_TRUE(writeDemoModule("modul2.xm", 0));
    Report complete;
    EXPECT_TRUE(checkMagazine(".", complete)) << complete.errors.front();

    // A contents page with links to every other article, the first a help page.
    std::vector<Article> articles = decodeArchive(archive, report);
    ASSERT_GE(articles.size(), 4u);
    EXPECT_TRUE(articles[0].headerless);
    std::vector<int> targets;
    for (const ArticleLink &link : articles[0].links)
        targets.push_back(link.target);
    for (int n = 2; n <= static_cast<int>(articles.size()); ++n)
        EXPECT_NE(std::find(targets.begin(), targets.end(), n), targets.end()) << n;
}

// check judges an archive by what the viewer reads of it, so its decoder
// must agree with selectArticle on every article, odd headers included.
TEST_F(ToolTest, ArchiveDecoderAgreesWithTheViewersSelection) {
    std::mt19937 random(4711);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 60; ++round) {
        Bytes archive;
        int records = 1 + pick(5);
        for (int r = 0; r < records; ++r) {
            // Lead byte, title and author lines around the 50-byte fields.
            archive.push_back(static_cast<std::uint8_t>(pick(3) == 0 ? 'd' : pick(4) == 0 ? '\n' : ' '));
            for (int line = 0; line < 2; ++line) {
                archive.insert(archive.end(), static_cast<std::size_t>(pick(4) == 0 ? 48 + pick(5) : pick(20)), 'T');
                if (pick(6) != 0)
                    archive.push_back('\n');
            }
            archive.insert(archive.end(), static_cast<std::size_t>(pick(4)), '\n');
            for (int k = pick(200); k > 0; --k)
                archive.push_back(static_cast<std::uint8_t>(pick(5) == 0 ? '\n' : pick(4) == 0 ? pick(256) : 'x'));
            if (r + 1 < records || pick(2) == 0)
                archive.push_back(ARTICLE_SEPARATOR);
        }
        writeFile("data/orbex.dat", archive);
        resetViewer();
        loadArchive();
        Report report;
        std::vector<Article> articles = decodeArchive(archive, report);
        for (std::size_t n = 1; n <= articles.size(); ++n) {
            // As a link does: the number first, which a header-less record turns to 1.
            nArticle = static_cast<std::int32_t>(n);
            selectArticle(static_cast<std::int32_t>(n));
            const Article &a = articles[n - 1];
            ASSERT_EQ(Bytes(szText.begin(), szText.begin() + nTextLength), a.text) << round << " " << n;
            ASSERT_EQ(nLineCount, a.lineCount) << round << " " << n;
            ASSERT_EQ(nArticle == 1 && n != 1, a.headerless && n != 1) << round << " " << n;
            if (!a.headerless) {
                // The fields hold 50 bytes; zero bytes read past the data end them.
                ASSERT_EQ(std::string(szTitle.data()), a.title.substr(0, a.title.find('\0'))) << round << " " << n;
                ASSERT_EQ(std::string(szAuthor.data()), a.author.substr(0, a.author.find('\0'))) << round << " " << n;
            }
        }
    }
}

TEST_F(ToolTest, CheckReportsWhatIsMissingOrMisshapen) {
    Report report;
    EXPECT_FALSE(checkMagazine(".", report));
    for (const char *name : {"data/orbex.dat", "data/chars.168", "data/begin.raw", "data/ende.pcx", "data/BG_8b.pcx",
                             "data/cursor.pcx", "extreme2.xm"})
        EXPECT_TRUE(hasError(report, std::string(name) + ": missing")) << name;

    writeFile("data/orbex.dat", std::string("d\n\x9F(7) 0)\x01\x02\x03\x04\x05\x06x\x9F\n\x9E trailing"));
    writeFile("data/chars.168", std::string(100, '\x01'));
    writeFile("data/begin.raw", std::string(1000, '\0'));
    std::vector<std::uint8_t> pcx;
    ASSERT_TRUE(encodePcx(testPattern(320, 200), pcx, report));
    ASSERT_TRUE(writeBytes("data/ende.pcx", pcx));
    Report found;
    checkMagazine(".", found);
    EXPECT_TRUE(hasError(found, "link to article 7"));
    EXPECT_TRUE(hasWarning(found, "after the last separator"));
    EXPECT_TRUE(hasError(found, "data/chars.168: 100 bytes"));
    EXPECT_TRUE(hasWarning(found, "glyph 0"));
    EXPECT_TRUE(hasError(found, "data/begin.raw: 1000 bytes"));
    EXPECT_TRUE(hasError(found, "data/ende.pcx: 320x200"));
}

// Bytes this process has read from files so far.
std::uint64_t bytesRead() {
    std::string io = readText("/proc/self/io");
    std::size_t at = io.find("rchar: ");
    return at == std::string::npos ? 0 : std::stoull(io.substr(at + 7));
}

TEST_F(ToolTest, CheckLoadsEachModuleFileOnceHoweverManyLinksNameIt) {
    buildSampleMagazine();
    ASSERT_TRUE(writeDemoModule("extreme2.xm", 1));
    // One module of 4 MiB under 100 names: spelt differently, or linked hard.
    constexpr std::size_t MODULE_BYTES = 4u << 20;
    Bytes module = demoModule(0);
    module.resize(MODULE_BYTES);
    writeFile("m.xm", module);
    const char *const spellings[] = {"m.xm", "./m.xm", ".//m.xm", "././m.xm", ".///m.xm", "././/m.xm"};
    std::string text = "d\n";
    for (int n = 0; n < 100; ++n) {
        std::string name = spellings[n / 2 % 6];
        if (n % 2 == 1) {
            name = "h" + std::to_string(n) + ".xm";
            ASSERT_EQ(::link("m.xm", name.c_str()), 0);
        }
        text += "\xA8" + name + "\"\x01\x02\x03\x04\x05\x06play\xA8\n";
    }
    writeFile("data/orbex.dat", text + "\x9E");
    std::uint64_t before = bytesRead();
    Report report;
    EXPECT_TRUE(checkMagazine(".", report)) << (report.ok() ? "" : report.errors.front());
    std::uint64_t read = bytesRead() - before;
    EXPECT_GE(read, MODULE_BYTES);
    // The module once, and the magazine's other files, well under 1 MiB.
    EXPECT_LT(read, MODULE_BYTES + (2u << 20));
}

TEST_F(ToolTest, RenderDrawsAPageWithTheViewersCode) {
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

TEST_F(ToolTest, RenderReportsWhatStopsTheViewer) {
    buildSampleMagazine();
    std::filesystem::remove("data/BG_8b.pcx");
    Report report;
    EXPECT_FALSE(renderArticle(".", 1, 0, "page.png", report));
    EXPECT_TRUE(hasError(report, "BackgroundPIC"));
    EXPECT_FALSE(std::filesystem::exists("page.png"));
}

} // namespace
} // namespace orbex::test
