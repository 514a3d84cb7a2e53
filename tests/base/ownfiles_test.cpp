// Where orbex.cfg, orbex.log and save.txt live: the magazine folder when it
// is writable, else the reader's state folder for the magazine; failures
// told once on standard error.
#include "base/ownfiles.h"

#include <sys/stat.h>

#include <filesystem>

#include "base/config.h"
#include "base/log.h"
#include "support/viewer_test.h"
#include "text/archive.h"

namespace orbex::test {
namespace {

namespace fs = std::filesystem;

// The working folder stands for the magazine folder; whether it counts as
// writable is the test's to say.
class OwnFilesTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        magazine = folder.string();
        state = folder / "state";
    }
    // What the reader does in a run: a log line, F2, the first configuration.
    void writeAllThree() {
        appendLogFile("line\n");
        const std::string text = "Text\n";
        std::copy(text.begin(), text.end(), szText.begin());
        nTextLength = static_cast<std::int32_t>(text.size());
        saveArticle();
        createConfigFile();
    }
    static void expectTheThreeIn(const fs::path &where) {
        EXPECT_EQ(readText(where / "orbex.log"), "line\r\n");
        EXPECT_EQ(readText(where / "save.txt"), "Text\r\n");
        EXPECT_EQ(readFile(where / "orbex.cfg"), (Bytes{1, 1, 1}));
    }
    std::string magazine;
    fs::path state;
};

TEST_F(OwnFilesTest, AWritableMagazineFolderKeepsItsFilesAsTheOriginalDid) {
    chooseOwnFilesFolder(true, magazine, state.c_str(), folder.c_str());
    EXPECT_EQ(ownFilePath(OwnFile::Log), "orbex.log");
    writeAllThree();
    expectTheThreeIn(folder);
    EXPECT_FALSE(fs::exists(state));
    EXPECT_FALSE(fs::exists(folder / ".local"));
}

TEST_F(OwnFilesTest, AReadOnlyMagazineWritesToItsStateFolderAndReadsBackFromThere) {
    chooseOwnFilesFolder(false, "/media/cdrom/Ausgabe 3!", state.c_str(), nullptr);
    const fs::path mine = state / "orbex" / "Ausgabe_3_";
    EXPECT_EQ(ownFilePath(OwnFile::Save), (mine / "save.txt").string());
    EXPECT_FALSE(fs::exists(state)) << "made at the first write, not before";
    EXPECT_FALSE(readConfigByte(1));
    writeAllThree();
    expectTheThreeIn(mine);
    for (const char *name : {"orbex.log", "save.txt", "orbex.cfg"})
        EXPECT_FALSE(fs::exists(folder / name)) << name;
    struct stat st {};
    ASSERT_EQ(stat(mine.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u) << "the reader's folder only";

    writeFile(mine / "orbex.cfg", Bytes{2, 3, 0});
    EXPECT_EQ(readConfigByte(1), 2);
    EXPECT_EQ(readConfigByte(3), 0);
    // A configuration the magazine ships is the one read.
    writeFile("orbex.cfg", Bytes{3, 1, 1});
    EXPECT_EQ(readConfigByte(1), 3);
}

TEST_F(OwnFilesTest, TheStateHomeIsXdgStateHomeWhenAbsoluteElseUnderHome) {
    const fs::path home = folder / "home";
    fs::create_directory(home);
    chooseOwnFilesFolder(false, "/opt/mags/demo", "relative/state", home.c_str());
    appendLogFile("line\n");
    EXPECT_EQ(readText(home / ".local" / "state" / "orbex" / "demo" / "orbex.log"), "line\r\n");

    // Without either the files stay where they are, and a failure says why.
    chooseOwnFilesFolder(false, magazine, nullptr, "");
    EXPECT_EQ(ownFilePath(OwnFile::Config), "orbex.cfg");
    fs::create_directory("orbex.log");
    ::testing::internal::CaptureStderr();
    appendLogFile("line\n");
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("neither XDG_STATE_HOME nor HOME"), std::string::npos) << err;
}

TEST_F(OwnFilesTest, MagazineNamesAreSafeFolderNames) {
    EXPECT_EQ(magazineName("/usr/share/orbex/magazine"), "magazine");
    EXPECT_EQ(magazineName("/media/Ausgabe 3/"), "Ausgabe_3");
    EXPECT_EQ(magazineName("/m/..x"), "_.x");
    EXPECT_EQ(magazineName("/m/.hidden"), "_hidden");
    EXPECT_EQ(magazineName("/m/M\xC3\xA4rz-1997"), "M__rz-1997");
    EXPECT_EQ(magazineName("/"), "magazine");
    EXPECT_EQ(magazineName(""), "magazine");
}

TEST_F(OwnFilesTest, ALinkedStateFolderIsNotUsedAndEachFileIsReportedOnce) {
    // Someone put a link where the viewer's folder would be made.
    fs::create_directories(state);
    fs::create_directory("elsewhere");
    fs::create_directory_symlink(fs::absolute("elsewhere"), state / "orbex");
    chooseOwnFilesFolder(false, "/media/cdrom/mag", state.c_str(), nullptr);
    ::testing::internal::CaptureStderr();
    appendLogFile("one\n");
    appendLogFile("two\n");
    createConfigFile();
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "orbex: cannot write " + (state / "orbex/mag/orbex.log").string() + ": cannot make " +
                       (state / "orbex").string() + ": a symbolic link is in its place; log lines are lost\n" +
                       "orbex: cannot write " + (state / "orbex/mag/orbex.cfg").string() + ": cannot make " +
                       (state / "orbex").string() +
                       ": a symbolic link is in its place; the settings are the defaults\n");
    EXPECT_TRUE(fs::is_empty("elsewhere"));
    EXPECT_FALSE(readConfigByte(1));
}

TEST_F(OwnFilesTest, LinksInTheMagazineFolderAreReportedOnceAndLeftAlone) {
    fs::create_directory("outside");
    writeFile("outside/mine.txt", std::string("mine\n"));
    fs::create_symlink(fs::absolute("outside/mine.txt"), "orbex.log");
    fs::create_symlink(fs::absolute("outside/mine.txt"), "save.txt");
    fs::create_symlink(fs::absolute("outside/new.cfg"), "orbex.cfg");
    chooseOwnFilesFolder(true, magazine, nullptr, nullptr);
    ::testing::internal::CaptureStderr();
    writeAllThree();
    writeAllThree();
    std::string err = ::testing::internal::GetCapturedStderr();
    const std::string link = ": a symbolic link is in its place; ";
    EXPECT_EQ(err, "orbex: cannot write " + magazine + "/orbex.log" + link + "log lines are lost\n" +
                       "orbex: cannot write " + magazine + "/save.txt" + link + "the article is not saved\n" +
                       "orbex: cannot write " + magazine + "/orbex.cfg" + link + "the settings are the defaults\n");
    EXPECT_EQ(readText("outside/mine.txt"), "mine\n");
    EXPECT_FALSE(fs::exists("outside/new.cfg"));
}

} // namespace
} // namespace orbex::test
