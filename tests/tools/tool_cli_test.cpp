// orbex-tool and orbex-modgen as a magazine maker runs them: real files in a
// temporary folder, the real binaries, their exit status and messages.
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <functional>

#include "files.h"
#include "images.h"
#include "support/child.h"
#include "support/magazine.h"
#include "support/viewer_test.h"
#include "support/zips.h"

namespace orbex::test {
namespace {

class ToolCli : public ViewerTest {
  protected:
    static ChildResult tool(std::vector<std::string> args, double deadline = 60) {
        args.insert(args.begin(), ORBEX_TOOL_BINARY);
        return runChild(args, deadline);
    }
};

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// A grey PNG written a row at a time, so a huge one costs the test no memory:
// row y has the value shade(y).
void writeGreyPng(const std::string &path, std::uint32_t width, std::uint32_t height, int (*shade)(std::uint32_t)) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char *type, const Bytes &data) {
        Bytes body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        for (int s = 24; s >= 0; s -= 8)
            png.push_back(static_cast<std::uint8_t>(data.size() >> s));
        png.insert(png.end(), body.begin(), body.end());
        auto crc = static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size())));
        for (int s = 24; s >= 0; s -= 8)
            png.push_back(static_cast<std::uint8_t>(crc >> s));
    };
    Bytes header;
    for (std::uint32_t v : {width, height})
        for (int s = 24; s >= 0; s -= 8)
            header.push_back(static_cast<std::uint8_t>(v >> s));
    header.insert(header.end(), {8, 0, 0, 0, 0}); // 8-bit grey, not interlaced
    chunk("IHDR", header);
    z_stream z{};
    deflateInit(&z, 1);
    Bytes row(width + 1), out(1 << 16), data;
    for (std::uint32_t y = 0; y < height; ++y) {
        std::fill(row.begin() + 1, row.end(), static_cast<std::uint8_t>(shade(y)));
        z.next_in = row.data();
        z.avail_in = static_cast<uInt>(row.size());
        int flush = y + 1 == height ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            deflate(&z, flush);
            data.insert(data.end(), out.begin(), out.end() - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    chunk("IDAT", data);
    chunk("IEND", {});
    writeFile(path, png);
}

RgbImage solid(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    RgbImage image{width, height, {}};
    for (int i = 0; i < width * height; ++i)
        image.rgb.insert(image.rgb.end(), {r, g, b});
    return image;
}

// --- The command line --------------------------------------------------------

TEST_F(ToolCli, VersionAndHelpOfEveryCommandExitWithZero) {
    ChildResult version = tool({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "orbex-tool 0.95\n");
    for (const char *command : {"font", "pcx", "raw", "archive", "unpack", "check", "render", "new", "build"}) {
        ChildResult help = tool({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_TRUE(contains(help.out, std::string("Usage: orbex-tool ") + command)) << command << help.out;
    }
    ChildResult modgen = runChild({ORBEX_MODGEN_BINARY, "--version"});
    EXPECT_EQ(modgen.status, 0);
    EXPECT_EQ(modgen.out, "orbex-modgen 0.95\n");
    EXPECT_EQ(runChild({ORBEX_MODGEN_BINARY, "--help"}).status, 0);
}

TEST_F(ToolCli, BadUsageExitsWithTwoAndNamesTheArgument) {
    struct Case {
        std::vector<std::string> args;
        const char *named;
    } cases[] = {
        {{"frobnicate"}, "frobnicate"},
        {{"render", "dir", "100", "out.png"}, "ARTICLE"},
        {{"render", "dir", "x", "out.png"}, "ARTICLE"},
        {{"render", "dir", "1"}, "OUT.png"},
        {{"pcx", "a.png", "b.pcx", "--fit", "stretch"}, "--fit"},
        {{"archive", "src"}, "OUT.dat"},
        {{"check", "a", "b"}, "b"},
    };
    for (const Case &c : cases) {
        ChildResult run = tool(c.args);
        EXPECT_EQ(run.status, 2) << c.args[0];
        EXPECT_TRUE(contains(run.err, c.named)) << run.err;
    }
    EXPECT_EQ(tool({}).status, 2);
    EXPECT_EQ(runChild({ORBEX_MODGEN_BINARY, "song.xm", "2"}).status, 2);
    EXPECT_FALSE(std::filesystem::exists("song.xm"));
}

TEST_F(ToolCli, AProblemInTheInputExitsWithOne) {
    std::filesystem::create_directory("empty");
    ChildResult run = tool({"archive", "empty", "out.dat"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "no article sources")) << run.err;
    EXPECT_EQ(tool({"check", "empty"}).status, 1);
    EXPECT_EQ(runChild({ORBEX_MODGEN_BINARY, "song.xm", "1"}).status, 0);
    EXPECT_GT(std::filesystem::file_size("song.xm"), 1000u);
}

// --- Sources that are not plain files -----------------------------------------

TEST_F(ToolCli, FifoSourcesAndTargetsFailPromptly) {
    std::filesystem::create_directory("src");
    ASSERT_EQ(::mkfifo("src/01-inhalt.txt", 0600), 0);
    ASSERT_EQ(::mkfifo("font.hex", 0600), 0);
    ASSERT_EQ(::mkfifo("in.png", 0600), 0);
    ASSERT_TRUE(writePng("ok.png", solid(640, 480, 10, 20, 30)));
    std::filesystem::create_directories("fifomag/data");
    ASSERT_EQ(::mkfifo("fifomag/data/orbex.dat", 0600), 0);
    ASSERT_EQ(::mkfifo("fifomag/extreme2.xm", 0600), 0);
    struct Case {
        std::vector<std::string> args;
        const char *why;
    } cases[] = {
        {{"archive", "src", "out.dat"}, "src/01-inhalt.txt: not a regular file"},
        {{"font", "font.hex", "out.168"}, "font.hex: not a regular file"},
        {{"pcx", "in.png", "out.pcx"}, "in.png: not a regular file"},
        {{"raw", "in.png", "out.raw"}, "in.png: not a regular file"},
        {{"raw", "ok.png", "font.hex"}, "font.hex: cannot write"},
        {{"unpack", "in.png", "unpacked"}, "in.png: not a regular file"},
        {{"check", "fifomag"}, "data/orbex.dat: not a regular file"},
        {{"check", "fifomag"}, "extreme2.xm: not a regular file"},
    };
    for (const Case &c : cases) {
        ChildResult run = tool(c.args, 10);
        EXPECT_FALSE(run.timedOut) << c.args[0];
        EXPECT_EQ(run.status, 1) << c.args[0];
        EXPECT_TRUE(contains(run.err, c.why)) << run.err;
    }
}

// --- Pictures of the wrong size ---------------------------------------------

TEST_F(ToolCli, PicturesOfAnotherSizeAreRefusedNamingTheSizeWanted) {
    ASSERT_TRUE(writePng("tiny.png", solid(2, 1, 200, 100, 50)));
    ChildResult run = tool({"pcx", "tiny.png", "data/BG_8b.pcx"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "tiny.png: the picture is 2x1")) << run.err;
    EXPECT_TRUE(contains(run.err, "640x480")) << run.err;
    EXPECT_FALSE(std::filesystem::exists("data/BG_8b.pcx"));

    run = tool({"pcx", "tiny.png", "data/cursor.pcx"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "32x32")) << run.err;
    run = tool({"raw", "tiny.png", "data/begin.raw"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "640x480")) << run.err;

    // Fitted, the same source becomes a picture the viewer can show.
    ASSERT_EQ(tool({"pcx", "--fit", "scale", "tiny.png", "data/BG_8b.pcx"}).status, 0);
    IndexedImage stretched;
    Report report;
    ASSERT_TRUE(decodePcx(readFile("data/BG_8b.pcx"), stretched, report, 640, 480));
    EXPECT_EQ(std::count(stretched.indices.begin(), stretched.indices.end(), stretched.indices[0]), 640 * 480);
    EXPECT_EQ(stretched.palette[3 * stretched.indices[0]], 200);
    ASSERT_EQ(tool({"raw", "--fit", "pad", "tiny.png", "data/begin.raw"}).status, 0);
    Bytes raw = readFile("data/begin.raw");
    ASSERT_EQ(raw.size(), 921600u);
    // Centred on black: (319, 239) and (320, 239) are the source's two pixels.
    EXPECT_EQ(raw[3 * (239 * 640 + 319)], 200);
    EXPECT_EQ(raw[3 * (239 * 640 + 320)], 200);
    EXPECT_EQ(raw[3 * (239 * 640 + 321)], 0);
    EXPECT_EQ(raw[3 * (240 * 640 + 320)], 0);

    // A pointer padded stays at the top left, where its hot spot is.
    ASSERT_EQ(tool({"pcx", "--fit", "pad", "--pointer", "tiny.png", "pointer.pcx"}).status, 0);
    IndexedImage pointer;
    ASSERT_TRUE(decodePcx(readFile("pointer.pcx"), pointer, report, 32, 32));
    EXPECT_EQ(pointer.palette[3 * pointer.indices[1]], 200);
    EXPECT_EQ(pointer.palette[3 * pointer.indices[2]], 0);
}

TEST_F(ToolCli, AHugeSourceIsRefusedAtOnceAndScaledInLittleMemory) {
    writeGreyPng("huge.png", 10000, 10000, [](std::uint32_t y) { return static_cast<int>(y * 256 / 10000); });
    ChildResult run = tool({"pcx", "huge.png", "data/ende.pcx"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "10000x10000")) << run.err;
    // Far below the 300 MB of its pixels, also with a sanitizer's own memory.
    EXPECT_LT(run.maxRssKiB, 100 * 1024);

    run = tool({"pcx", "--fit", "scale", "huge.png", "data/ende.pcx"}, 100);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_LT(run.maxRssKiB, 100 * 1024);
    IndexedImage scaled;
    Report report;
    ASSERT_TRUE(decodePcx(readFile("data/ende.pcx"), scaled, report, 640, 480));
    // The rows' shades are averaged: a gradient from black to white, top to bottom.
    auto grey = [&](int x, int y) { return scaled.palette[3 * scaled.indices[static_cast<std::size_t>(y * 640 + x)]]; };
    EXPECT_LE(grey(0, 0), 1);
    EXPECT_GE(grey(639, 479), 254);
    EXPECT_NEAR(grey(320, 240), 128, 1);
    for (int y = 1; y < 480; ++y)
        ASSERT_GE(grey(100, y), grey(100, y - 1)) << y;

    // A header claiming more than the file can hold is refused before any row.
    Bytes liar = readFile("huge.png");
    liar.resize(200);
    writeFile("liar.png", liar);
    run = tool({"pcx", "--fit", "scale", "liar.png", "x.pcx"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "more than the file's 200 bytes can hold")) << run.err;
}

// --- Hostile magazines ----------------------------------------------------------

TEST_F(ToolCli, CheckOfHugeClaimsAndHugeArchivesStaysSmall) {
    copySampleMagazine("mag");
    ASSERT_EQ(tool({"check", "mag"}).status, 0);

    // A PCX of 1 KB whose header claims 65536x65536 pixels.
    Bytes pcx(1024, 0);
    pcx[0] = 0x0A, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8, pcx[65] = 1;
    pcx[8] = pcx[9] = pcx[10] = pcx[11] = 0xFF;
    writeFile("mag/data/BG_8b.pcx", pcx);
    // 16 MiB of separators: a million empty articles in what the viewer reads.
    writeFile("mag/data/orbex.dat", Bytes(16u << 20, 0x9E));
    ChildResult run = tool({"check", "mag"});
    EXPECT_EQ(run.status, 1);
    EXPECT_LT(run.maxRssKiB, 100 * 1024);
    EXPECT_TRUE(contains(run.err, "data/BG_8b.pcx: 65536x65536, the viewer wants 640x480")) << run.err;
    EXPECT_TRUE(contains(run.err, "16777216 bytes; the viewer reads only the first 1048575")) << run.err;
    // The problems of a million articles are counted, not listed.
    EXPECT_LT(run.err.size(), 20000u);
    EXPECT_TRUE(contains(run.err, "more problems")) << run.err.substr(0, 500);

    // Without an expected size, the claim is measured against the file.
    IndexedImage image;
    Report report;
    EXPECT_FALSE(decodePcx(pcx, image, report));
    EXPECT_TRUE(report.errors.front().find("more than the file's 1024 bytes can hold") != std::string::npos)
        << report.errors.front();
    EXPECT_TRUE(image.indices.empty());
}

TEST_F(ToolCli, CheckLoadsEveryModuleAsTheViewerWill) {
    copySampleMagazine("mag");
    struct Case {
        const char *what;
        std::function<void(const std::string &)> make;
        const char *why;
    } cases[] = {
        {"empty", [](const std::string &path) { writeFile(path, Bytes{}); }, "empty"},
        {"100 MiB of zeros",
         [](const std::string &path) {
             writeFile(path, Bytes{});
             std::filesystem::resize_file(path, 100u << 20);
         },
         "104857600 bytes; the viewer plays modules of at most 67108864"},
        {"random bytes",
         [](const std::string &path) {
             Bytes noise(20000);
             std::uint32_t seed = 7;
             for (std::uint8_t &b : noise)
                 b = static_cast<std::uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
             writeFile(path, noise);
         },
         "not a module the viewer can play"},
        {"a folder", [](const std::string &path) { std::filesystem::create_directory(path); }, "not a regular file"},
    };
    for (const Case &c : cases) {
        std::filesystem::remove_all("mag/extreme2.xm");
        c.make("mag/extreme2.xm");
        ChildResult run = tool({"check", "mag"});
        EXPECT_EQ(run.status, 1) << c.what;
        EXPECT_TRUE(contains(run.err, std::string("extreme2.xm: ") + c.why)) << c.what << ": " << run.err;
        EXPECT_FALSE(contains(run.out, "ready")) << c.what;
    }
    // The module a music link names is loaded too.
    std::filesystem::remove_all("mag/extreme2.xm");
    std::filesystem::copy_file(ORBEX_SAMPLE_MAGAZINE "/extreme2.xm", "mag/extreme2.xm");
    writeFile("mag/modul2.xm", std::string("XM? no"));
    ChildResult run = tool({"check", "mag"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "modul2.xm: not a module the viewer can play (named by a music link)")) << run.err;
}

TEST_F(ToolCli, CheckAndUnpackTakeAZipMagazineAsTheyTakeItsFolder) {
    copySampleMagazine("issue");
    ASSERT_TRUE(writeZip("issue.zip", entriesOf("issue", "issue/")));
    ChildResult run = tool({"check", "issue.zip"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "issue.zip: ready\n");
    ASSERT_EQ(tool({"unpack", "issue/data/orbex.dat", "from-folder"}).status, 0);
    run = tool({"unpack", "issue.zip", "from-zip"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator("from-folder")) {
        names.push_back(entry.path().filename().string());
        EXPECT_EQ(readFile(entry.path()), readFile("from-zip" / entry.path().filename())) << names.back();
    }
    EXPECT_GE(names.size(), 3u);

    // A problem inside is told as for the folder.
    writeFile("issue/modul2.xm", std::string("XM? no"));
    ASSERT_TRUE(writeZip("odd.zip", entriesOf("issue", "")));
    run = tool({"check", "odd.zip"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "modul2.xm: not a module the viewer can play")) << run.err;
    EXPECT_EQ(run.err, tool({"check", "issue"}).err);

    // A zip the viewer refuses, and one with no archive, give nothing.
    std::vector<ZipEntry> entries = entriesOf("issue", "issue/");
    entries.push_back({"issue/data/link", bytesOf("/etc/passwd"), S_IFLNK | 0777});
    ASSERT_TRUE(writeZip("link.zip", entries));
    for (const std::vector<std::string> &command :
         {std::vector<std::string>{"check", "link.zip"}, std::vector<std::string>{"unpack", "link.zip", "out"}}) {
        run = tool(command);
        EXPECT_EQ(run.status, 1) << command[0];
        EXPECT_TRUE(contains(run.err, "link.zip: entry issue/data/link is a symbolic link")) << run.err;
        EXPECT_FALSE(contains(run.out, "ready"));
    }
    ASSERT_TRUE(writeZip("empty.zip", {{"readme.txt", bytesOf("hello")}}));
    run = tool({"unpack", "empty.zip", "out"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "empty.zip/data/orbex.dat: missing")) << run.err;
    EXPECT_FALSE(std::filesystem::exists("out"));
    // The zip named must not be a link itself, as a folder must not.
    std::filesystem::create_symlink("issue.zip", "linked.zip");
    run = tool({"check", "linked.zip"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "linked.zip: a symbolic link")) << run.err;
}

} // namespace
} // namespace orbex::test
