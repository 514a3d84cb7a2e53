// The binary's files, run as a reader runs it: paths the reader gives are
// taken from where the program started, a start outside any magazine opens
// the installed demo, a read-only magazine keeps its reader's files in the
// state folder, and links a magazine holds never lead the writing elsewhere.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/viewer_test.h"

namespace orbex::test {
namespace {

namespace fs = std::filesystem;

constexpr uid_t NOBODY = 65534;

struct RunResult {
    int nStatus = -1;
    std::string stderrText;
};

// Runs argv in cwd with exactly env, standard error into errFile; a stuck
// run is ended after a minute rather than holding the suite.
RunResult spawn(std::vector<std::string> argv, const fs::path &cwd, std::vector<std::string> env,
                const fs::path &errFile) {
    // The sanitizers' settings of the test run reach the viewer too.
    for (const char *name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char *value = std::getenv(name))
            env.push_back(std::string(name) + "=" + value);
    std::vector<char *> args, envp;
    for (std::string &a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    RunResult run;
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(cwd.c_str()) != 0 || ::dup2(null, 1) < 0 || ::dup2(err, 2) < 0)
            ::_exit(126);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    ::close(err);
    ::close(null);
    if (pid < 0)
        return run;
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    run.nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.stderrText = readText(errFile);
    return run;
}

const std::vector<std::string> HEADLESS{"ORBEX_VIDEO=headless", "ORBEX_CLOCK=step:20"};

std::vector<std::string> withHeadless(std::vector<std::string> env) {
    env.insert(env.end(), HEADLESS.begin(), HEADLESS.end());
    return env;
}

// The built sample magazine's data and modules, without anything a run left there.
void copyMagazine(const fs::path &to) {
    const fs::path sample = ORBEX_SAMPLE_MAGAZINE;
    fs::create_directories(to);
    fs::copy(sample / "data", to / "data", fs::copy_options::recursive);
    for (const fs::directory_entry &entry : fs::directory_iterator(sample))
        if (entry.is_regular_file() && entry.path().extension() == ".xm")
            fs::copy_file(entry.path(), to / entry.path().filename());
}

// The viewer as an installation holds it: a copy, so that the program's own
// folder is where the test says.
fs::path copyBinary(const fs::path &bin) {
    fs::create_directories(bin);
    fs::copy_file(ORBEX_BINARY, bin / "orbex");
    fs::permissions(bin / "orbex", fs::perms(0755));
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

int linesOf(const std::string &text, const std::string &what) {
    int n = 0;
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size())
        ++n;
    return n;
}

class FilesEndToEndTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        ASSERT_TRUE(fs::exists(fs::path(ORBEX_SAMPLE_MAGAZINE) / "data" / "orbex.dat"))
            << "build the sample magazine first (target magazine)";
    }
};

TEST_F(FilesEndToEndTest, TheReadersPathsAreTakenFromTheStartFolder) {
    const fs::path start = folder / "start";
    copyMagazine(start / "mag");
    fs::create_directory(start / "shots");
    writeFile(start / "s.txt", std::string("frames 3\nshot a.png\nkey F2\nshot shots/b.png\nframes 2\n"));
    RunResult run = spawn({ORBEX_BINARY, "l"}, start,
                          withHeadless({"ORBEX_MAGAZINE=mag", "ORBEX_SCRIPT=s.txt", "ORBEX_AUDIO_CAPTURE=c.wav"}),
                          folder / "err.txt");
    ASSERT_EQ(run.nStatus, 0) << run.stderrText;
    EXPECT_EQ(run.stderrText, "");
    EXPECT_TRUE(fs::exists(start / "a.png"));
    EXPECT_TRUE(fs::exists(start / "shots" / "b.png"));
    EXPECT_EQ(wavRate(start / "c.wav"), 44100u);
    // The viewer's own files stay with the magazine.
    EXPECT_EQ(filesIn(start / "mag"),
              (std::vector<std::string>{"data", "extreme2.xm", "modul2.xm", "orbex.cfg", "orbex.log", "save.txt"}));
}

TEST_F(FilesEndToEndTest, LinksInPlaceOfEveryWrittenFileLeadNowhere) {
    // A downloaded magazine that points the viewer's files at the reader's.
    const fs::path mag = folder / "mag";
    const fs::path home = folder / "home";
    copyMagazine(mag);
    fs::create_directory(home);
    for (const char *name : {"notes.txt", "diary.txt", "photo.png", "song.wav"})
        writeFile(home / name, std::string("the reader's own\n"));
    fs::create_symlink(home / "notes.txt", mag / "orbex.log");
    fs::create_symlink(home / "diary.txt", mag / "save.txt");
    fs::create_symlink(home / "made-by-viewer.cfg", mag / "orbex.cfg");
    // And the same for what the port writes where the reader started it.
    const fs::path start = folder / "start";
    fs::create_directory(start);
    fs::create_symlink(home / "photo.png", start / "a.png");
    fs::create_symlink(home / "song.wav", start / "c.wav");
    writeFile(start / "s.txt", std::string("frames 3\nkey F2\nframes 2\nkey F2\nshot a.png\nframes 2\n"));

    RunResult run =
        spawn({ORBEX_BINARY, "l"}, start,
              withHeadless({"ORBEX_MAGAZINE=" + mag.string(), "ORBEX_SCRIPT=s.txt", "ORBEX_AUDIO_CAPTURE=c.wav"}),
              folder / "err.txt");
    EXPECT_EQ(run.nStatus, 0) << run.stderrText;
    for (const char *name : {"notes.txt", "diary.txt", "photo.png", "song.wav"})
        EXPECT_EQ(readText(home / name), "the reader's own\n") << name;
    EXPECT_EQ(filesIn(home), (std::vector<std::string>{"diary.txt", "notes.txt", "photo.png", "song.wav"}));
    // Each told once, however often it was tried.
    const std::string &err = run.stderrText;
    EXPECT_EQ(linesOf(err, "\n"), 5) << err;
    EXPECT_EQ(linesOf(err, "a symbolic link is in its place"), 5) << err;
    for (const std::string &name :
         {(mag / "orbex.log").string(), (mag / "save.txt").string(), (mag / "orbex.cfg").string(),
          (start / "a.png").string(), (start / "c.wav").string()})
        EXPECT_EQ(linesOf(err, name + ":"), 1) << name << "\n" << err;
    for (const char *name : {"orbex.log", "save.txt", "orbex.cfg"})
        EXPECT_TRUE(fs::is_symlink(mag / name)) << name;
}

TEST_F(FilesEndToEndTest, AStartOutsideAnyMagazineOpensTheDemoBesideTheProgram) {
    // An installation moved to another prefix still finds its own magazine.
    const fs::path prefix = folder / "moved" / "prefix";
    const fs::path orbex = copyBinary(prefix / "bin");
    const fs::path demo = prefix / "share" / "orbex" / "magazine";
    copyMagazine(demo);
    const fs::path start = folder / "start";
    fs::create_directory(start);
    writeFile(start / "s.txt", std::string("frames 3\nkey F2\nframes 1\n"));
    RunResult run = spawn({orbex.string(), "nl"}, start, withHeadless({"ORBEX_SCRIPT=s.txt"}), folder / "err.txt");
    ASSERT_EQ(run.nStatus, 0) << run.stderrText;
    EXPECT_EQ(run.stderrText, "") << "the demo opens without a word";
    EXPECT_TRUE(fs::exists(demo / "orbex.log"));
    EXPECT_FALSE(readText(demo / "save.txt").empty());
    EXPECT_EQ(filesIn(start), (std::vector<std::string>{"s.txt"}));
}

TEST_F(FilesEndToEndTest, AStartWithNoMagazineAnywhereSaysSoInOneLine) {
    const fs::path orbex = copyBinary(folder / "lonely" / "bin");
    const fs::path start = folder / "start";
    fs::create_directory(start);
    RunResult run = spawn({orbex.string(), "l"}, start, HEADLESS, folder / "err.txt");
    // The folder the build installs to may hold a demo on this machine.
    if (fs::exists(fs::path(ORBEX_INSTALL_DATADIR) / "magazine" / "data" / "orbex.dat")) {
        EXPECT_EQ(run.nStatus, 0) << run.stderrText;
        return;
    }
    EXPECT_EQ(run.nStatus, 1);
    EXPECT_EQ(linesOf(run.stderrText, "\n"), 1) << run.stderrText;
    EXPECT_NE(run.stderrText.find("orbex: no magazine here"), std::string::npos) << run.stderrText;
    EXPECT_TRUE(fs::is_empty(start));
}

// Where the program can switch to an unprivileged user, or empty.
std::string userSwitch() {
    for (const char *tool : {"/usr/bin/setpriv", "/bin/setpriv", "/usr/sbin/runuser", "/sbin/runuser"})
        if (::access(tool, X_OK) == 0)
            return tool;
    return {};
}

constexpr fs::perms READ_ALL = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
constexpr fs::perms SEARCH_ALL = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;

// Readable (folders searchable) by everyone, whatever the umask of the test run.
void openToAll(const fs::path &path) {
    fs::permissions(path, fs::is_directory(path) ? READ_ALL | SEARCH_ALL : READ_ALL, fs::perm_options::add);
    if (fs::is_directory(path))
        for (const fs::directory_entry &entry : fs::recursive_directory_iterator(path))
            if (!entry.is_symlink())
                fs::permissions(entry.path(), entry.is_directory() ? READ_ALL | SEARCH_ALL : READ_ALL,
                                fs::perm_options::add);
}

TEST_F(FilesEndToEndTest, AMagazineTheReaderCannotWriteKeepsTheirFilesInTheStateFolder) {
    // Root writes anywhere: the run is made as nobody, and the magazine is root's.
    const bool bRoot = ::geteuid() == 0;
    const std::string tool = bRoot ? userSwitch() : std::string();
    if (bRoot && tool.empty())
        GTEST_SKIP() << "needs setpriv or runuser to run the viewer as another user";
    const fs::path orbex = copyBinary(folder / "bin");
    const fs::path mag = folder / "Ausgabe 7";
    copyMagazine(mag);
    const fs::path start = folder / "start";
    const fs::path state = folder / "state";
    fs::create_directory(start);
    writeFile(start / "s.txt", std::string("frames 3\nkey F2\nshot a.png\nframes 2\n"));
    fs::permissions(folder.parent_path(), READ_ALL | SEARCH_ALL, fs::perm_options::add);
    openToAll(folder);
    if (bRoot) {
        ASSERT_EQ(::chown(start.c_str(), NOBODY, NOBODY), 0);
        fs::create_directory(state);
        ASSERT_EQ(::chown(state.c_str(), NOBODY, NOBODY), 0);
    } else {
        fs::permissions(mag, fs::perms(0555));
    }
    struct Restore {
        fs::path mag;
        ~Restore() { fs::permissions(mag, fs::perms(0755)); }
    } restore{mag};

    auto runAsReader = [&] {
        std::vector<std::string> argv{orbex.string(), "l"};
        if (tool.find("setpriv") != std::string::npos)
            argv.insert(argv.begin(), {tool, "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
        else if (!tool.empty())
            argv.insert(argv.begin(), {tool, "-u", "nobody", "--"});
        return spawn(argv, start,
                     withHeadless({"ORBEX_MAGAZINE=" + mag.string(), "ORBEX_SCRIPT=s.txt", "ORBEX_AUDIO_CAPTURE=c.wav",
                                   "XDG_STATE_HOME=" + state.string()}),
                     folder / "err.txt");
    };
    const std::vector<std::string> shipped = filesIn(mag);
    const fs::path mine = state / "orbex" / "Ausgabe_7";

    RunResult first = runAsReader();
    ASSERT_EQ(first.nStatus, 0) << first.stderrText;
    EXPECT_EQ(first.stderrText, "");
    EXPECT_EQ(filesIn(mag), shipped) << "nothing written into the magazine";
    EXPECT_EQ(filesIn(mine), (std::vector<std::string>{"orbex.cfg", "orbex.log", "save.txt"}));
    EXPECT_EQ(readFile(mine / "orbex.cfg"), (Bytes{1, 1, 1}));
    EXPECT_EQ(linesOf(readText(mine / "orbex.log"), "Quit viewer\r\n"), 1);
    EXPECT_NE(readText(mine / "save.txt").find("\r\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(start / "a.png"));
    EXPECT_EQ(wavRate(start / "c.wav"), 44100u);

    // Read back next time: its rate is the one the capture is made at.
    writeFile(mine / "orbex.cfg", Bytes{2, 1, 1});
    RunResult second = runAsReader();
    ASSERT_EQ(second.nStatus, 0) << second.stderrText;
    EXPECT_EQ(wavRate(start / "c.wav"), 22050u);
    EXPECT_EQ(linesOf(readText(mine / "orbex.log"), "Quit viewer\r\n"), 2) << "the log goes on";

    // A configuration the magazine ships comes before the reader's.
    fs::permissions(mag, fs::perms(0755));
    writeFile(mag / "orbex.cfg", Bytes{3, 1, 1});
    openToAll(mag / "orbex.cfg");
    if (!bRoot)
        fs::permissions(mag, fs::perms(0555));
    RunResult third = runAsReader();
    ASSERT_EQ(third.nStatus, 0) << third.stderrText;
    EXPECT_EQ(wavRate(start / "c.wav"), 11025u);
    EXPECT_EQ(readFile(mine / "orbex.cfg"), (Bytes{2, 1, 1}));
}

} // namespace
} // namespace orbex::test
