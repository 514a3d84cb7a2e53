// Opening a magazine as a reader does: a folder or a zip file named on the
// command line, from an unrelated folder. The path's letters switch nothing;
// a zip shows, plays and logs what its folder does; a hostile or broken zip
// is refused with one line and status 1 before anything is written.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/magazine.h"
#include "support/process.h"
#include "support/viewer_test.h"
#include "support/zips.h"

namespace orbex::test {
namespace {

namespace fs = std::filesystem;

class OpenEndToEndTest : public ViewerTest {
  protected:
    // The viewer headless in start (made if need be) with these arguments,
    // the script and a sound capture there, HOME in the test's folder; its
    // output beside start.
    RunResult run(const fs::path &start, const std::vector<std::string> &arguments, const std::string &script) {
        fs::create_directories(start);
        writeFile(start / "script.txt", script);
        ProgramRun viewer;
        viewer.arguments = arguments;
        viewer.folder = start;
        viewer.environment = {"ORBEX_VIDEO=headless",
                              "ORBEX_CLOCK=step:20",
                              "ORBEX_SCRIPT=script.txt",
                              "ORBEX_AUDIO_CAPTURE=capture.wav",
                              "HOME=" + (folder / "home").string(),
                              "XDG_STATE_HOME="};
        viewer.stdoutFile = (folder / "stdout.txt").string();
        viewer.stderrFile = (folder / "stderr.txt").string();
        return runProgram(viewer);
    }
    std::string err() const { return readText(folder / "stderr.txt"); }
};

// Every file below where, with its bytes.
std::map<std::string, Bytes> filesBelow(const fs::path &where) {
    std::map<std::string, Bytes> files;
    for (const auto &entry : fs::recursive_directory_iterator(where))
        files[entry.path().lexically_relative(where).string() + (entry.is_directory() ? "/" : "")] =
            entry.is_regular_file() ? readFile(entry.path()) : Bytes();
    return files;
}

bool audible(const fs::path &wav) {
    Bytes b = readFile(wav);
    return b.size() > 44 && std::any_of(b.begin() + 44, b.end(), [](std::uint8_t x) { return x != 0; });
}

TEST_F(OpenEndToEndTest, AFolderPathFullOfTheLettersIsTheMagazineAndSwitchesNothing) {
    // Every one of n, l and k in the path; the pointer moved between shots
    // is drawn where the mouse is only while the mouse is on.
    const fs::path magazine = folder / "online kiosk links";
    copySampleMagazine(magazine);
    const std::string script = "frames 320\nmove 100 200\nframes 3\nshot a.png\nmove 300 250\nframes 3\nshot b.png\n";
    const fs::path start = folder / "start";
    ASSERT_EQ(run(start, {"../online kiosk links"}, script).status(), 0) << err();
    EXPECT_EQ(err(), "");
    EXPECT_TRUE(audible(start / "capture.wav")); // music on
    EXPECT_FALSE(fs::exists(magazine / "orbex.log"));
    EXPECT_FALSE(fs::exists(folder / "home"));                       // no log elsewhere either
    EXPECT_NE(readFile(start / "a.png"), readFile(start / "b.png")); // mouse on
    EXPECT_TRUE(fs::exists(magazine / "orbex.cfg"));

    // Every other argument is scanned as the original scanned its command
    // line, the absolute path's letters still not.
    const fs::path other = folder / "other";
    ASSERT_EQ(run(other, {"k", magazine.string(), "-n l"}, script).status(), 0) << err();
    EXPECT_FALSE(audible(other / "capture.wav"));
    EXPECT_TRUE(fs::exists(magazine / "orbex.log"));
    EXPECT_EQ(readFile(other / "a.png"), readFile(other / "b.png"));

    // Two magazines are one too many.
    EXPECT_EQ(run(other, {magazine.string(), "../start"}, "").status(), 1);
    EXPECT_NE(err().find("names 2 magazines"), std::string::npos) << err();
    // A folder named on the command line must hold a magazine.
    EXPECT_EQ(run(other, {"../start"}, "").status(), 1);
    EXPECT_NE(err().find("../start holds no magazine"), std::string::npos) << err();
}

TEST_F(OpenEndToEndTest, AZipMagazineShowsPlaysAndLogsWhatItsFolderDoes) {
    // The regression tour on the folder and on the zip of it, the zip with
    // one top folder as packers make it; its own files go to the state folder.
    const fs::path magazine = folder / "issue3";
    copySampleMagazine(magazine);
    ASSERT_TRUE(writeZip(folder / "Issue3.ZIP", entriesOf(magazine, "issue3/")));
    const Bytes zip = readFile(folder / "Issue3.ZIP");
    const std::string tour = readText(fs::path(ORBEX_REGRESSION_DIR) / "tour.txt");
    ASSERT_EQ(run(folder / "a", {"l", "../issue3"}, tour).status(), 0) << err();
    ASSERT_EQ(run(folder / "b", {"l", "../Issue3.ZIP"}, tour).status(), 0) << err();
    EXPECT_EQ(err(), "");

    std::map<std::string, Bytes> fromFolder = filesBelow(folder / "a"), fromZip = filesBelow(folder / "b");
    EXPECT_EQ(fromFolder.size(), fromZip.size());
    int shots = 0;
    for (const auto &[name, bytes] : fromFolder) {
        shots += name.ends_with(".png") ? 1 : 0;
        EXPECT_TRUE(fromZip[name] == bytes) << name;
    }
    EXPECT_GE(shots, 8);
    EXPECT_TRUE(audible(folder / "b" / "capture.wav"));
    const fs::path state = folder / "home/.local/state/orbex/Issue3";
    EXPECT_EQ(readText(state / "orbex.log"), readText(magazine / "orbex.log"));
    EXPECT_EQ(readFile(state / "orbex.cfg"), readFile(magazine / "orbex.cfg"));
    EXPECT_EQ(readFile(folder / "Issue3.ZIP"), zip);
}

TEST_F(OpenEndToEndTest, AHostileOrBrokenZipIsRefusedAndNothingIsWritten) {
    const fs::path sample = folder / "sample";
    copySampleMagazine(sample);
    std::vector<ZipEntry> magazine = entriesOf(sample, "issue/");
    fs::remove_all(sample);
    auto with = [&](ZipEntry extra) {
        std::vector<ZipEntry> entries = magazine;
        entries.push_back(std::move(extra));
        return entries;
    };
    fs::create_directories(folder / "zips");
    ASSERT_TRUE(writeZip(folder / "zips/up.zip", with({"issue/../../evil.txt", bytesOf("x")})));
    ASSERT_TRUE(
        writeZip(folder / "zips/link.zip", with({"issue/data/BG_8b.pcx.lnk", bytesOf("/etc/passwd"), S_IFLNK | 0777})));
    // A gigabyte of zeros packed from a stream: about a megabyte on the disk.
    ASSERT_TRUE(writeZip(folder / "zips/zeros.zip", with({"issue/zeros.xm", {}, 0, 1u << 30})));
    EXPECT_LT(fs::file_size(folder / "zips/zeros.zip"), 4u << 20);
    ASSERT_TRUE(writeZip(folder / "zips/broken.zip", magazine));
    Bytes broken = readFile(folder / "zips/broken.zip");
    broken.at(firstCentralRecord(broken) + 2) = 0x7F;
    writeFile(folder / "zips/broken.zip", broken);

    const std::map<std::string, std::string> reasons{
        {"up", "entry issue/../../evil.txt lies outside the magazine's folder"},
        {"link", "entry issue/data/BG_8b.pcx.lnk is a symbolic link"},
        {"zeros", "entry issue/zeros.xm declares 1073741824 bytes; the viewer reads at most 67108864 of it"},
        {"broken", "it is broken (its table of contents is damaged at entry 1)"}};
    const std::map<std::string, Bytes> zips = filesBelow(folder / "zips");
    for (const auto &[name, reason] : reasons) {
        fs::remove_all(folder / "start");
        RunResult refused = run(folder / "start", {"nl", "../zips/" + name + ".zip"}, "frames 5\nshot a.png\n");
        EXPECT_EQ(refused.status(), 1) << name;
        const std::string message = err();
        EXPECT_EQ(message.rfind("orbex: cannot open the magazine ../zips/" + name + ".zip: ", 0), 0u) << message;
        EXPECT_NE(message.find(reason), std::string::npos) << message;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
        // Nothing beside the script, no state folder, the zips as they were.
        EXPECT_EQ(filesBelow(folder / "start").size(), 1u) << name;
        EXPECT_FALSE(fs::exists(folder / "home")) << name;
        EXPECT_TRUE(filesBelow(folder / "zips") == zips) << name;
    }
}

} // namespace
} // namespace orbex::test
