// Where orbex.cfg, orbex.log and save.txt live when the magazine folder is
// not writable (the answer is the test's), and failures told once.
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

class OwnFilesTest : public ViewerTest {};

TEST_F(OwnFilesTest, AReadOnlyMagazineWritesToItsStateFolderAndReadsBackFromThere) {
    const fs::path state = folder / "state";
    chooseOwnFilesFolder(false, "/media/cdrom/Ausgabe 3!", state.c_str(), nullptr);
    EXPECT_FALSE(fs::exists(state)) << "made at the first write, not before";
    appendLogFile("line\n");
    nTextLength = 1;
    szText[0] = '\n';
    saveArticle();
    createConfigFile();
    const fs::path mine = state / "orbex" / "Ausgabe_3_";
    EXPECT_EQ(readText(mine / "orbex.log"), "line\r\n");
    EXPECT_EQ(readText(mine / "save.txt"), "\r\n");
    EXPECT_EQ(readFile(mine / "orbex.cfg"), (Bytes{1, 1, 1}));
    EXPECT_EQ(fs::status(mine).permissions(), fs::perms::owner_all);
    for (const char *name : {"orbex.log", "save.txt", "orbex.cfg"})
        EXPECT_FALSE(fs::exists(name)) << name;

    writeFile(mine / "orbex.cfg", Bytes{2, 3, 0});
    EXPECT_EQ(readConfigByte(1), 2);
    // A configuration the magazine ships is the one read.
    writeFile("orbex.cfg", Bytes{3, 1, 1});
    EXPECT_EQ(readConfigByte(1), 3);
}

TEST_F(OwnFilesTest, TheStateHomeIsXdgStateHomeWhenAbsoluteElseUnderHome) {
    const fs::path home = folder / "home";
    fs::create_directory(home);
    chooseOwnFilesFolder(false, "/opt/mags/demo", "relative/state", home.c_str());
    appendLogFile("line\n");
    EXPECT_EQ(readText(home / ".local/state/orbex/demo/orbex.log"), "line\r\n");

    // Without either the files stay where they are, and a failure says why.
    chooseOwnFilesFolder(false, folder.string(), nullptr, "");
    fs::create_directory("orbex.log");
    ::testing::internal::CaptureStderr();
    appendLogFile("line\n");
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("neither XDG_STATE_HOME nor HOME"), std::string::npos) << err;
}

TEST_F(OwnFilesTest, MagazineNamesAreSafeFolderNames) {
    EXPECT_EQ(magazineName("/usr/share/orbex/magazine"), "magazine");
    EXPECT_EQ(magazineName("/media/Ausgabe 3/"), "Ausgabe_3");
    EXPECT_EQ(magazineName("/m/.."), "_.");
    EXPECT_EQ(magazineName("/m/M\xC3\xA4rz"), "M__rz");
    EXPECT_EQ(magazineName("/"), "magazine");
}

TEST_F(OwnFilesTest, ALinkedStateFolderIsNotUsedAndEachFileIsToldOnce) {
    const fs::path state = folder / "state";
    fs::create_directories(state);
    fs::create_directory("elsewhere");
    fs::create_directory_symlink(fs::absolute("elsewhere"), state / "orbex");
    chooseOwnFilesFolder(false, "/media/cdrom/mag", state.c_str(), nullptr);
    ::testing::internal::CaptureStderr();
    appendLogFile("one\n");
    appendLogFile("two\n");
    createConfigFile();
    std::string err = ::testing::internal::GetCapturedStderr();
    const std::string why = ": cannot make " + (state / "orbex").string() + ": a symbolic link is in its place; ";
    EXPECT_EQ(err, "orbex: cannot write " + (state / "orbex/mag/orbex.log").string() + why + "log lines are lost\n" +
                       "orbex: cannot write " + (state / "orbex/mag/orbex.cfg").string() + why +
                       "the settings are the defaults\n");
    EXPECT_TRUE(fs::is_empty("elsewhere"));
    EXPECT_FALSE(readConfigByte(1));
}

} // namespace
} // namespace orbex::test
