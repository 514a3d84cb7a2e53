// The binary's files, run as a reader runs it: paths the reader gives are
// taken from where the program started, a start outside any magazine opens
// the installed demo, a read-only magazine keeps its reader's files in the
// state folder, and links a magazine holds never lead the writing elsewhere.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/magazine.h"
#include "support/process.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int nStatus = -1;
    std::string stderrText;
};

// Runs command headless with the virtual clock in cwd through the one start
// helper; its standard error is kept beside the folder.
Outcome spawn(const std::vector<std::string> &command, const fs::path &cwd, std::vector<std::string> env) {
    ProgramRun run;
    run.program = command.at(0);
    run.arguments.assign(command.begin() + 1, command.end());
    env.insert(env.begin(), {"ORBEX_VIDEO=headless", "ORBEX_CLOCK=step:20"});
    run.environment = env;
    run.folder = cwd;
    run.stdoutFile = "/dev/null";
    run.stderrFile = (cwd.parent_path() / "stderr.txt").string();
    RunResult result = runProgram(run);
    return {result.status(), readText(run.stderrFile)};
}

// The viewer as an installation holds it: the program's folder is the test's.
fs::path copyBinary(const fs::path &bin) {
    fs::create_directories(bin);
    fs::copy_file(ORBEX_BINARY, bin / "orbex");
    return bin / "orbex";
}

std::vector<std::string> filesIn(const fs::path &where) {
    std::vector<std::string> names;
    std::error_code missing;
    for (const fs::directory_entry &entry : fs::directory_iterator(where, missing))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::uint32_t wavRate(const fs::path &wav) {
    Bytes b = readFile(wav);
    return b.size() < 28 ? 0 : b[24] | b[25] << 8 | b[26] << 16 | static_cast<std::uint32_t>(b[27]) << 24;
}

long count(const std::string &text, const std::string &what) {
    long n = 0;
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size())
        ++n;
    return n;
}

class FilesEndToEndTest : public ViewerTest {};

TEST_F(FilesEndToEndTest, LinksInPlaceOfEveryWrittenFileLeadNowhere) {
    // A downloaded magazine that points the viewer's files at the reader's,
    // and the same for what the port writes where the reader started it.
    const fs::path mag = folder / "mag", home = folder / "home", start = folder / "start";
    copySampleMagazine(mag);
    fs::create_directories(home);
    fs::create_directories(start);
    const std::vector<std::string> own{"diary.txt", "notes.txt", "photo.png", "song.wav"};
    for (const std::string &name : own)
        writeFile(home / name, std::string("the reader's own\n"));
    fs::create_symlink(home / "notes.txt", mag / "orbex.log");
    fs::create_symlink(home / "diary.txt", mag / "save.txt");
    fs::create_symlink(home / "made-by-viewer.cfg", mag / "orbex.cfg");
    fs::create_symlink(home / "photo.png", start / "a.png");
    fs::create_symlink(home / "song.wav", start / "c.wav");
    writeFile(start / "s.txt", std::string("frames 3\nkey F2\nframes 2\nkey F2\nshot a.png\nframes 2\n"));

    Outcome run = spawn({ORBEX_BINARY, "l"}, start,
                        {"ORBEX_MAGAZINE=" + mag.string(), "ORBEX_SCRIPT=s.txt", "ORBEX_AUDIO_CAPTURE=c.wav"});
    EXPECT_EQ(run.nStatus, 0) << run.stderrText;
    EXPECT_EQ(filesIn(home), own);
    for (const std::string &name : own)
        EXPECT_EQ(readText(home / name), "the reader's own\n") << name;
    // Each told once, however often it was tried.
    EXPECT_EQ(count(run.stderrText, "\n"), 5) << run.stderrText;
    for (const fs::path &link :
         {mag / "orbex.log", mag / "save.txt", mag / "orbex.cfg", start / "a.png", start / "c.wav"})
        EXPECT_EQ(count(run.stderrText, link.string() + ": a symbolic link is in its place"), 1) << link << "\n"
                                                                                                 << run.stderrText;
}

TEST_F(FilesEndToEndTest, AStartOutsideAnyMagazineOpensTheDemoBesideTheProgramOrSaysThereIsNone) {
    // An installation moved to another prefix still finds its own magazine.
    const fs::path prefix = folder / "moved" / "prefix";
    const fs::path demo = prefix / "share" / "orbex" / "magazine";
    const fs::path start = folder / "start";
    copySampleMagazine(demo);
    fs::create_directory(start);
    writeFile(start / "s.txt", std::string("frames 3\nkey F2\nframes 1\n"));
    const fs::path state = folder / "state";
    const std::vector<std::string> shipped = filesIn(demo);
    Outcome run = spawn({copyBinary(prefix / "bin").string(), "nl"}, start,
                        {"ORBEX_SCRIPT=s.txt", "XDG_STATE_HOME=" + state.string()});
    ASSERT_EQ(run.nStatus, 0) << run.stderrText;
    EXPECT_EQ(run.stderrText, "") << "the demo opens without a word";
    // The installed demo belongs to the package manager: even where it could,
    // the viewer writes its files into the reader's state folder.
    EXPECT_EQ(filesIn(demo), shipped);
    EXPECT_TRUE(fs::exists(state / "orbex" / "magazine" / "orbex.log"));
    EXPECT_FALSE(readText(state / "orbex" / "magazine" / "save.txt").empty());
    EXPECT_EQ(filesIn(start), (std::vector<std::string>{"s.txt"}));

    fs::remove_all(demo);
    run = spawn({(prefix / "bin" / "orbex").string(), "l"}, start, {"ORBEX_SCRIPT=s.txt"});
    // Unless the folder the build installs to holds one on this machine.
    if (!fs::exists(fs::path(ORBEX_INSTALL_DATADIR) / "magazine" / "data" / "orbex.dat")) {
        EXPECT_EQ(run.nStatus, 1);
        EXPECT_EQ(count(run.stderrText, "\n"), 1) << run.stderrText;
        EXPECT_EQ(run.stderrText.rfind("orbex: no magazine here", 0), 0u) << run.stderrText;
        EXPECT_EQ(filesIn(start), (std::vector<std::string>{"s.txt"}));
    }
}

TEST_F(FilesEndToEndTest, AMagazineTheReaderCannotWriteKeepsTheirFilesInTheStateFolder) {
    // Root writes anywhere: as root the run is made as nobody, and the
    // magazine stays root's; otherwise the magazine is made read-only.
    const bool bRoot = ::geteuid() == 0;
    std::vector<std::string> asReader;
    for (const char *tool : {"/usr/bin/setpriv", "/bin/setpriv", "/usr/sbin/runuser", "/sbin/runuser"})
        if (bRoot && asReader.empty() && ::access(tool, X_OK) == 0)
            asReader = std::string(tool).ends_with("setpriv")
                           ? std::vector<std::string>{tool, "--reuid=65534", "--regid=65534", "--clear-groups", "--"}
                           : std::vector<std::string>{tool, "-u", "nobody", "--"};
    if (bRoot && asReader.empty())
        GTEST_SKIP() << "needs setpriv or runuser to run the viewer as another user";
    const fs::path orbex = copyBinary(folder / "bin");
    const fs::path mag = folder / "Ausgabe 7", start = folder / "start", state = folder / "state";
    copySampleMagazine(mag);
    fs::create_directory(start);
    fs::create_directory(state);
    writeFile(start / "s.txt", std::string("frames 3\nkey F2\nshot a.png\nframes 2\n"));
    // Readable by everyone whatever the test run's umask; writable only as said.
    const fs::perms readAll = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const fs::perms searchAll = readAll | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    fs::permissions(folder.parent_path(), searchAll, fs::perm_options::add);
    fs::permissions(folder, searchAll, fs::perm_options::add);
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(folder))
        fs::permissions(entry.path(), entry.is_directory() || entry.path() == orbex ? searchAll : readAll,
                        fs::perm_options::add);
    if (bRoot) {
        ASSERT_EQ(::chown(start.c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chown(state.c_str(), 65534, 65534), 0);
    }
    auto setMagazineWritable = [&](bool bWritable) {
        if (!bRoot)
            fs::permissions(mag, bWritable ? fs::perms(0755) : fs::perms(0555));
    };
    setMagazineWritable(false);
    auto runAsReader = [&] {
        // Every path the reader gives is taken from where the program starts.
        std::vector<std::string> command = asReader;
        command.insert(command.end(), {orbex.string(), "l"});
        return spawn(command, start,
                     {"ORBEX_MAGAZINE=../Ausgabe 7", "ORBEX_SCRIPT=s.txt", "ORBEX_AUDIO_CAPTURE=c.wav",
                      "XDG_STATE_HOME=" + state.string()});
    };
    const std::vector<std::string> shipped = filesIn(mag);
    const fs::path mine = state / "orbex" / "Ausgabe_7";

    Outcome run = runAsReader();
    EXPECT_EQ(run.nStatus, 0) << run.stderrText;
    EXPECT_EQ(run.stderrText, "");
    EXPECT_EQ(filesIn(mag), shipped) << "nothing written into the magazine";
    EXPECT_EQ(filesIn(mine), (std::vector<std::string>{"orbex.cfg", "orbex.log", "save.txt"}));
    EXPECT_EQ(readFile(mine / "orbex.cfg"), (Bytes{1, 1, 1}));
    EXPECT_EQ(count(readText(mine / "orbex.log"), "Quit viewer\r\n"), 1);
    EXPECT_EQ(filesIn(start), (std::vector<std::string>{"a.png", "c.wav", "s.txt"}));
    EXPECT_EQ(wavRate(start / "c.wav"), 44100u);

    // Read back next time: the capture is made at the rate it names, and the log goes on.
    writeFile(mine / "orbex.cfg", Bytes{2, 1, 1});
    run = runAsReader();
    EXPECT_EQ(wavRate(start / "c.wav"), 22050u) << run.stderrText;
    EXPECT_EQ(count(readText(mine / "orbex.log"), "Quit viewer\r\n"), 2);

    // A configuration the magazine ships comes before the reader's.
    setMagazineWritable(true);
    writeFile(mag / "orbex.cfg", Bytes{3, 1, 1});
    fs::permissions(mag / "orbex.cfg", readAll, fs::perm_options::add);
    setMagazineWritable(false);
    run = runAsReader();
    setMagazineWritable(true);
    EXPECT_EQ(wavRate(start / "c.wav"), 11025u) << run.stderrText;
    EXPECT_EQ(readFile(mine / "orbex.cfg"), (Bytes{2, 1, 1}));
}

} // namespace
} // namespace orbex::test
