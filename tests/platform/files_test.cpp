// Where the port writes, and how: never through a symbolic link, only into
// regular files; user paths from the start folder; the user's picture folder.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "platform/places.h"
#include "platform/png.h"
#include "platform/sound/capture.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

namespace fs = std::filesystem;

class WriteTest : public ViewerTest {
  protected:
    // A file of the reader's that a link in the viewer's folder points at.
    void SetUp() override {
        ViewerTest::SetUp();
        fs::create_directory("outside");
        writeFile("outside/mine.txt", std::string("mine\n"));
    }
    bool outsideUntouched() {
        return readText("outside/mine.txt") == "mine\n" &&
               std::distance(fs::directory_iterator("outside"), fs::directory_iterator()) == 1;
    }
};

int openForWriting(const char *name, int flags, std::string *why) {
    int fd = openRegularForWriting(name, O_WRONLY | O_CREAT | flags, why);
    if (fd >= 0)
        ::close(fd);
    return fd;
}

TEST_F(WriteTest, ALinkInTheFilesPlaceIsNeitherFollowedNorReplaced) {
    fs::create_symlink(fs::absolute("outside/mine.txt"), "to-mine");
    fs::create_symlink(fs::absolute("outside/new.txt"), "dangling");
    for (int flags : {O_TRUNC, O_APPEND, 0}) {
        std::string why;
        EXPECT_LT(openForWriting("to-mine", flags, &why), 0);
        EXPECT_EQ(why, "a symbolic link is in its place");
        why.clear();
        EXPECT_LT(openForWriting("dangling", flags, &why), 0);
        EXPECT_EQ(why, "a symbolic link is in its place");
    }
    EXPECT_TRUE(outsideUntouched());
    EXPECT_TRUE(fs::is_symlink("to-mine"));
}

TEST_F(WriteTest, OnlyRegularFilesAreWrittenAndNothingBlocks) {
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    std::string why;
    EXPECT_LT(openForWriting("pipe", O_TRUNC, &why), 0);
    EXPECT_EQ(why, "it is not a regular file");
    EXPECT_LT(openForWriting("data", O_APPEND, &why), 0);
    EXPECT_EQ(why, "it is not a regular file");
    EXPECT_LT(openForWriting("/dev/null", O_TRUNC, &why), 0);
    EXPECT_LT(openForWriting("no-such-folder/x.txt", O_TRUNC, &why), 0);
    EXPECT_EQ(why, std::strerror(ENOENT));
    EXPECT_LT(openRegularForWriting("", O_WRONLY | O_CREAT, &why), 0);
}

TEST_F(WriteTest, ARegularFileIsCreatedEmptiedOrAppendedTo) {
    ASSERT_GE(openForWriting("new.txt", O_TRUNC, nullptr), 0);
    struct stat st {};
    ASSERT_EQ(stat("new.txt", &st), 0);
    EXPECT_EQ(st.st_mode & 0777 & ~0600u, 0u) << "created for the user only";
    writeFile("old.txt", std::string("old"));
    int fd = openRegularForWriting("old.txt", O_WRONLY | O_APPEND, nullptr);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "+", 1), 1);
    ::close(fd);
    EXPECT_EQ(readText("old.txt"), "old+");
    ASSERT_GE(openForWriting("old.txt", O_TRUNC, nullptr), 0);
    EXPECT_EQ(readText("old.txt"), "");
    // A file that may not be replaced is not touched.
    EXPECT_LT(openForWriting("old.txt", O_EXCL, nullptr), 0);
}

TEST_F(WriteTest, FoldersAreMadeOrTakenButNeverThroughALinkUnlessAllowed) {
    std::string why;
    EXPECT_TRUE(makeFolder("made", 0700, false, &why));
    EXPECT_TRUE(fs::is_directory("made"));
    EXPECT_TRUE(makeFolder("made", 0700, false, &why)) << "an existing folder is taken";
    fs::create_directory_symlink(fs::absolute("outside"), "linked");
    EXPECT_FALSE(makeFolder("linked", 0700, false, &why));
    EXPECT_EQ(why, "a symbolic link is in its place");
    EXPECT_TRUE(makeFolder("linked", 0700, true, &why)) << "the reader's own link to a folder";
    EXPECT_FALSE(makeFolder("outside/mine.txt", 0700, true, &why));
    EXPECT_EQ(why, "it is not a folder");
    EXPECT_FALSE(makeFolder("missing/child", 0700, false, &why));
    EXPECT_TRUE(outsideUntouched());
}

TEST_F(WriteTest, PicturesAndCapturesGoAroundLinksToo) {
    std::vector<std::uint8_t> rgb(4 * 2 * 3, 0x80);
    fs::create_symlink(fs::absolute("outside/mine.txt"), "shot.png");
    std::string why;
    EXPECT_FALSE(writeRgbPng("shot.png", rgb, 4, 2, &why));
    EXPECT_EQ(why, "a symbolic link is in its place");
    ASSERT_TRUE(writeRgbPng("plain.png", rgb, 4, 2, &why)) << why;
    EXPECT_GT(readFile("plain.png").size(), 8u);

    // A dangling link holds a shot's name as much as a file does.
    fs::create_symlink(fs::absolute("outside/gone.png"), "orbex-shot-0001.png");
    EXPECT_EQ(freeShotName("."), "./orbex-shot-0002.png");

    fs::create_symlink(fs::absolute("outside/mine.txt"), "capture.wav");
    sound::WavCapture capture;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(capture.open("capture.wav", 44100));
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("capture.wav: a symbolic link is in its place"), std::string::npos) << err;
    EXPECT_TRUE(outsideUntouched());
}

// --- places ------------------------------------------------------------------

class PlacesTest : public ViewerTest {};

TEST_F(PlacesTest, UserPathsAreTakenFromTheStartFolder) {
    EXPECT_EQ(userPath("s.txt"), "s.txt") << "nothing remembered: as given";
    rememberStartFolder();
    const std::string start = fs::current_path().string();
    fs::create_directory("magazine");
    fs::current_path("magazine");
    EXPECT_EQ(userPath("s.txt"), start + "/s.txt");
    EXPECT_EQ(userPath("../s.txt"), start + "/../s.txt");
    EXPECT_EQ(userPath("/abs/s.txt"), "/abs/s.txt");
    EXPECT_EQ(userPath(""), "");
    EXPECT_EQ(userPath(nullptr), "");
    EXPECT_EQ(startFolder(), start);
    resetPlaces();
    EXPECT_EQ(userPath("s.txt"), "s.txt");
}

TEST_F(PlacesTest, PicturesFolderFollowsTheXdgRules) {
    const std::string home = (folder / "home").string();
    fs::create_directories(home + "/.config");
    EXPECT_EQ(picturesFolderFor("/pics", nullptr, home.c_str()), "/pics");
    // Relative values are no values.
    EXPECT_EQ(picturesFolderFor("pics", "cfg", home.c_str()), home + "/Pictures");
    writeFile(home + "/.config/user-dirs.dirs", std::string("# written by xdg-user-dirs-update\n"
                                                            "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                                                            "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n"));
    EXPECT_EQ(picturesFolderFor(nullptr, nullptr, home.c_str()), home + "/Bilder");
    fs::create_directories(folder / "cfg");
    writeFile(folder / "cfg" / "user-dirs.dirs", std::string("  XDG_PICTURES_DIR = \"/srv/fotos\"\n"));
    EXPECT_EQ(picturesFolderFor(nullptr, (folder / "cfg").c_str(), home.c_str()), "/srv/fotos");
    EXPECT_EQ(picturesFolderFor(nullptr, nullptr, nullptr), "");
}

TEST_F(PlacesTest, ShotsGoToTheStartFolderOrElseToTheMadePicturesFolder) {
    const std::string home = (folder / "home").string();
    fs::create_directory(home);
    EXPECT_EQ(shotsFolderFor("/start", true, nullptr, nullptr, home.c_str()), "/start");
    EXPECT_EQ(shotsFolderFor("/start", false, nullptr, nullptr, home.c_str()), home + "/Pictures");
    EXPECT_TRUE(fs::is_directory(home + "/Pictures"));
    EXPECT_EQ(shotsFolderFor("/start", false, nullptr, nullptr, nullptr), "/start") << "nowhere else to go";
}

} // namespace
} // namespace orbex::test
