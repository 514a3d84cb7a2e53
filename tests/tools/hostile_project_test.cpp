// orbex-tool on a magazine or project someone else made: links that lead out
// of it, and sizes and counts beyond what the viewer can use. Real files in a
// temporary folder, the real binary, its exit status and messages.
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "articles.h"
#include "support/child.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

namespace fs = std::filesystem;

class HostileProject : public ViewerTest {
  protected:
    static ChildResult tool(std::vector<std::string> args, double deadline = 60) {
        args.insert(args.begin(), ORBEX_TOOL_BINARY);
        return runChild(args, deadline);
    }
    // A built project, made once per test and copied for each case.
    void makeProject() {
        ChildResult made = tool({"new", "template"});
        ASSERT_EQ(made.status, 0) << made.err;
    }
    static void freshCopy(const std::string &to) {
        fs::remove_all(to);
        fs::copy("template", to, fs::copy_options::recursive);
    }
    static std::vector<std::string> namesIn(const std::string &folder) {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static void link(const std::string &target, const std::string &at) {
        fs::remove_all(at);
        ASSERT_EQ(::symlink(target.c_str(), at.c_str()), 0) << at;
    }
};

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

std::size_t count(const std::string &text, const std::string &part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// --- Links in a project --------------------------------------------------------

TEST_F(HostileProject, BuildTakesNoLinkInTheProjectAndWritesNothingOutsideIt) {
    makeProject();
    fs::create_directories("elsewhere/articles");
    writeFile("elsewhere/orbex.dat", std::string("mine"));
    writeFile("elsewhere/articles/01-notes.txt", std::string("my private notes"));
    writeFile("secret.txt", std::string("my private key"));
    struct Case {
        const char *link;   // in the project
        const char *target; // where it leads
        const char *named;  // what the refusal names
    } cases[] = {
        {"mag/data", "../elsewhere", "mag/data: a symbolic link"},
        {"mag/src", "../elsewhere", "mag/src: a symbolic link"},
        {"mag/src/articles", "../../elsewhere/articles", "mag/src/articles: a symbolic link"},
        {"mag/src/articles/02-help.txt", "../../../secret.txt", "mag/src/articles/02-help.txt: a symbolic link"},
        {"mag/src/font.hex", "../../secret.txt", "mag/src/font.hex: a symbolic link"},
        {"mag/src/pictures/bg.png", "../../../secret.txt", "mag/src/pictures/bg.png: a symbolic link"},
        {"mag/src/music/notes.xm", "../../../secret.txt", "mag/src/music/notes.xm: a symbolic link"},
    };
    for (const Case &c : cases) {
        freshCopy("mag");
        link(c.target, c.link);
        ChildResult run = tool({"build", "mag"});
        EXPECT_EQ(run.status, 1) << c.link;
        EXPECT_TRUE(contains(run.err, c.named)) << c.link << ": " << run.err;
        EXPECT_FALSE(contains(run.out, "ready")) << c.link;
        // Nothing written or made where a link leads, nothing taken in.
        EXPECT_EQ(namesIn("elsewhere"), (std::vector<std::string>{"articles", "orbex.dat"})) << c.link;
        EXPECT_EQ(readText("elsewhere/orbex.dat"), "mine");
        EXPECT_EQ(readText("secret.txt"), "my private key");
        EXPECT_FALSE(fs::exists("mag/notes.xm")) << c.link;
        if (fs::is_regular_file("mag/data/orbex.dat") && !fs::is_symlink("mag/data")) {
            EXPECT_FALSE(contains(readText("mag/data/orbex.dat"), "private")) << c.link;
        }
    }
    // The project as made builds; a folder name with a link on the way to it
    // is the user's own path.
    freshCopy("mag");
    ASSERT_EQ(::symlink(".", "here"), 0);
    ChildResult run = tool({"build", "here/mag"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "built and ready")) << run.out;
    // The folder named must not be a link itself.
    ASSERT_EQ(::symlink("mag", "maglink"), 0);
    run = tool({"build", "maglink"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "maglink: a symbolic link")) << run.err;
}

TEST_F(HostileProject, OutputsGoOnlyIntoTheFolderNamedAndNeverThroughALink) {
    writeFile("font.hex", std::string("0041:0000000018242442427E424242420000\n"));
    fs::create_directories("src");
    writeFile("src/01-contents.txt", std::string("Contents\n"));
    writeFile("one.dat", std::string("d\nContents\n\x9E"));
    fs::create_directories("elsewhere");
    writeFile("keep.dat", std::string("keep"));
    link("elsewhere", "out");
    struct Case {
        std::vector<std::string> args;
        const char *named;
    } cases[] = {
        {{"font", "font.hex", "out/chars.168"}, "out: a symbolic link"},
        {{"archive", "src", "out/orbex.dat"}, "out: a symbolic link"},
        {{"unpack", "one.dat", "out"}, "out: a symbolic link"},
        {{"new", "out"}, "out: a symbolic link"},
        {{"font", "font.hex", "keep.168"}, "keep.168: cannot write (a symbolic link"},
    };
    ASSERT_EQ(::symlink("keep.dat", "keep.168"), 0);
    for (const Case &c : cases) {
        ChildResult run = tool(c.args);
        EXPECT_EQ(run.status, 1) << c.args[0];
        EXPECT_TRUE(contains(run.err, c.named)) << c.args[0] << ": " << run.err;
        EXPECT_TRUE(namesIn("elsewhere").empty()) << c.args[0];
        EXPECT_EQ(readText("keep.dat"), "keep");
    }
    // A file with a second name is replaced, not written into: the other
    // name keeps what it had.
    fs::create_directories("data");
    ASSERT_EQ(::link("keep.dat", "data/orbex.dat"), 0);
    ChildResult run = tool({"archive", "src", "data/orbex.dat"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readText("keep.dat"), "keep");
    EXPECT_EQ(readText("data/orbex.dat"), "d\nContents\n\x9E");
    EXPECT_EQ(namesIn("data"), std::vector<std::string>{"orbex.dat"});
}

TEST_F(HostileProject, CheckTakesNoLinkAndNoModuleOutsideTheMagazine) {
    fs::copy(ORBEX_SAMPLE_MAGAZINE, "mag", fs::copy_options::recursive);
    fs::remove("mag/orbex.cfg");
    fs::copy(ORBEX_SAMPLE_MAGAZINE, "other", fs::copy_options::recursive);
    ASSERT_EQ(tool({"check", "mag"}).status, 0);
    struct Case {
        std::function<void()> spoil;
        const char *named;
    } cases[] = {
        {[] { link("../../other/data/chars.168", "mag/data/chars.168"); }, "data/chars.168: a symbolic link"},
        {[] { link("../other/data", "mag/data"); }, "data: a symbolic link"},
        {[] { link("../other/extreme2.xm", "mag/extreme2.xm"); },
         "extreme2.xm: a symbolic link, which orbex-tool does not follow (the music played from the start)"},
        {[] {
             // The archive's music link names a module beside the magazine.
             Bytes archive = readFile("mag/data/orbex.dat");
             std::string text(archive.begin(), archive.end());
             std::size_t at = text.find("modul2.xm");
             ASSERT_NE(at, std::string::npos);
             text.replace(at, 9, "../other.xm");
             writeFile("mag/data/orbex.dat", text);
             fs::copy_file("mag/modul2.xm", "other.xm");
         },
         "../other.xm: outside the magazine's folder"},
    };
    for (const Case &c : cases) {
        fs::remove_all("mag");
        fs::remove("other.xm");
        fs::copy(ORBEX_SAMPLE_MAGAZINE, "mag", fs::copy_options::recursive);
        fs::remove("mag/orbex.cfg");
        c.spoil();
        ChildResult run = tool({"check", "mag"});
        EXPECT_EQ(run.status, 1) << c.named;
        EXPECT_TRUE(contains(run.err, c.named)) << run.err;
    }
}

// A magazine's bytes quoted in a message reach the terminal escaped: no
// escape sequence hides the rest or sets the window's title, no C1 control
// in UTF-8 (C2 9B is CSI to some terminals) gets through.
TEST_F(HostileProject, CheckPrintsNoControlCharacterFromTheMagazine) {
    fs::copy(ORBEX_SAMPLE_MAGAZINE, "mag", fs::copy_options::recursive);
    fs::remove("mag/orbex.cfg");
    Bytes archive = readFile("mag/data/orbex.dat");
    std::string text(archive.begin(), archive.end());
    const std::size_t at = text.find("modul2.xm");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 9, "\x1b[8m\x1b]0;PWN\x07");
    const std::size_t second = text.find("\xA8"
                                         "extreme2.xm") +
                               1;
    ASSERT_NE(second, 0u);
    text.replace(second, 11,
                 "\xc2\x9b"
                 "31m");
    writeFile("mag/data/orbex.dat", text);
    ChildResult run = tool({"check", "mag"});
    EXPECT_EQ(run.status, 1);
    const std::string said = run.out + run.err;
    EXPECT_TRUE(contains(said, "\\x1b[8m\\x1b]0;PWN\\x07")) << said;
    for (std::size_t i = 0; i < said.size(); ++i) {
        const auto b = static_cast<unsigned char>(said[i]);
        EXPECT_TRUE(b >= 0x20 || b == '\n') << "byte " << int(b) << " at " << i << " of " << said;
        EXPECT_NE(b, 0x7F);
        EXPECT_FALSE(b == 0xC2 && i + 1 < said.size() && static_cast<unsigned char>(said[i + 1]) < 0xA0)
            << "a C1 control at " << i;
    }
    EXPECT_TRUE(contains(said, "\\x9b31m")) << said;
}

// --- Limits that follow from what the viewer can use -----------------------------

TEST_F(HostileProject, UnpackWritesNoMoreArticlesThanALinkReaches) {
    // A link's two digits read as bytes reach article 2277 at most.
    writeFile("reachable.dat", Bytes(MAX_ARTICLES, 0x9E));
    ChildResult run = tool({"unpack", "reachable.dat", "all"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(namesIn("all").size(), MAX_ARTICLES);
    run = tool({"archive", "all", "again.dat"});
    ASSERT_EQ(run.status, 0) << run.err.substr(0, 400);
    EXPECT_EQ(readFile("again.dat"), readFile("reachable.dat"));

    for (std::size_t separators : {MAX_ARTICLES + 1, std::size_t{(1u << 20) - 1}}) {
        writeFile("many.dat", Bytes(separators, 0x9E));
        run = tool({"unpack", "many.dat", "many"}, 30);
        EXPECT_EQ(run.status, 1) << separators;
        EXPECT_TRUE(contains(run.err, std::to_string(separators) + " articles; a link reaches no article past 2277"))
            << run.err;
        EXPECT_FALSE(fs::exists("many")) << separators;
    }
}

TEST_F(HostileProject, ArchiveTakesNoMoreSourcesThanAFullArchiveNeeds) {
    fs::create_directories("count");
    for (std::size_t n = 1; n <= MAX_ARTICLES + 1; ++n)
        writeFile("count/" + std::to_string(n) + "-a.txt", std::string("a"));
    ChildResult run = tool({"archive", "count", "out.dat"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "count: 2278 article sources; a link reaches no article past 2277")) << run.err;

    // One source bigger than the markup of a full archive ever needs, and
    // sources that are that big together; none is read whole.
    fs::create_directories("big");
    writeFile("big/01-a.txt", Bytes{});
    fs::resize_file("big/01-a.txt", MAX_SOURCE_BYTES + 1);
    run = tool({"archive", "big", "out.dat"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "big/01-a.txt: larger than 8388608 bytes")) << run.err;
    EXPECT_LT(run.maxRssKiB, 100 * 1024);
    fs::create_directories("many");
    writeFile("many/01-a.txt", Bytes{});
    fs::resize_file("many/01-a.txt", MAX_SOURCE_BYTES / 2);
    for (int n = 2; n <= 80; ++n)
        ASSERT_EQ(::link("many/01-a.txt", ("many/" + std::to_string(n) + "-a.txt").c_str()), 0);
    run = tool({"archive", "many", "out.dat"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "many: the sources hold more than 8388608 bytes together")) << run.err;
    EXPECT_LT(run.maxRssKiB, 100 * 1024);
    EXPECT_FALSE(fs::exists("out.dat"));

    // What unpack writes for a full archive of the bytes the markup says
    // least compactly still goes back through archive.
    std::string worst = "d\n";
    while (worst.size() < (1u << 20) - 2)
        worst += (worst.size() % 2 == 0 ? "\x80" : "\x01");
    worst += '\x9E';
    writeFile("worst.dat", worst);
    run = tool({"unpack", "worst.dat", "worst"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_GT(fs::file_size("worst/01-contents.txt"), 5u << 20);
    run = tool({"archive", "worst", "again.dat"});
    ASSERT_EQ(run.status, 0) << run.err.substr(0, 400);
    EXPECT_EQ(readText("again.dat"), worst);
}

TEST_F(HostileProject, ProblemsAreListedUpToFiftyThenCounted) {
    std::string bad;
    for (int n = 0; n < 10000; ++n)
        bad += "zz41:not a glyph\n";
    writeFile("font.hex", bad);
    ChildResult run = tool({"font", "font.hex", "out.168"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(count(run.err, "error:"), MAX_LISTED + 1) << run.err.substr(0, 400);
    EXPECT_TRUE(contains(run.err, "font.hex: line 50: expected XXXX:HEXDIGITS")) << run.err.substr(0, 400);
    EXPECT_TRUE(contains(run.err, "font.hex: and 9950 more problems")) << run.err;

    // A megabyte of "{" without "}": every one a problem, 50 of them told.
    fs::create_directories("src");
    std::string braces;
    while (braces.size() < (1u << 20))
        braces += "{a";
    writeFile("src/01-a.txt", braces);
    run = tool({"archive", "src", "out.dat"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(count(run.err, "error:"), MAX_LISTED + 1) << run.err.substr(0, 400);
    EXPECT_TRUE(contains(run.err, "src/01-a.txt:1: \"{\" without \"}\" on its line")) << run.err.substr(0, 400);
    EXPECT_TRUE(contains(run.err, "src/01-a.txt: and 524240 more problems")) << run.err.substr(run.err.size() - 200);

    // A thousand links to an article that is not there.
    std::string links;
    for (int n = 0; n < 1000; ++n)
        links += "{link 9 0 #FFFFFF #FFFFFF}x{/link}\n";
    writeFile("src/01-a.txt", links);
    run = tool({"archive", "src", "out.dat"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(count(run.err, "error:"), MAX_LISTED + 1) << run.err.substr(0, 400);
    EXPECT_TRUE(contains(run.err, "src/01-a.txt: a link to article 9, but there are 1")) << run.err.substr(0, 400);
    EXPECT_TRUE(contains(run.err, "src/01-a.txt: and 950 more problems")) << run.err.substr(run.err.size() - 200);
}

} // namespace
} // namespace orbex::test
