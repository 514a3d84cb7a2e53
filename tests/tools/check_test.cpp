// orbex-tool check: the sample magazine checks out, the archive's decoder
// agrees with the viewer's selection, and what is missing or misshapen is
// reported.
#include <unistd.h>

#include <algorithm>
#include <random>

#include "articles.h"
#include "check.h"
#include "demo_module.h"
#include "files.h"
#include "images.h"
#include "support/magazine.h"
#include "support/reports.h"
#include "support/toolpictures.h"
#include "support/viewer_test.h"
#include "text/archive.h"

namespace orbex::test {
namespace {

class CheckTest : public ViewerTest {};

TEST_F(CheckTest, SampleMagazineBuildsCleanlyAndChecksOut) {
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
TEST_F(CheckTest, ArchiveDecoderAgreesWithTheViewersSelection) {
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

TEST_F(CheckTest, CheckReportsWhatIsMissingOrMisshapen) {
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

TEST_F(CheckTest, CheckLoadsEachModuleFileOnceHoweverManyLinksNameIt) {
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

} // namespace
} // namespace orbex::test
