// How the port writes (never through a link, only regular files) and where
// Print Screen puts its pictures.
#include "common/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/places.h"
#include "platform/png.h"
#include "support/page_files.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

namespace fs = std::filesystem;

class FilesTest : public ViewerTest {};

std::string whyNot(const char *name, int flags) {
    std::string why;
    int fd = openRegularForWriting(name, O_WRONLY | O_CREAT | flags, why);
    if (fd >= 0)
        ::close(fd);
    return fd >= 0 ? "opened" : why;
}

TEST_F(FilesTest, WritingNeverFollowsALinkAndTakesOnlyRegularFiles) {
    writeFile("mine.txt", std::string("mine\n"));
    fs::create_symlink(fs::absolute("mine.txt"), "to-mine");
    fs::create_symlink(fs::absolute("new.txt"), "dangling");
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    for (int flags : {O_TRUNC, O_APPEND}) {
        EXPECT_EQ(whyNot("to-mine", flags), "a symbolic link is in its place");
        EXPECT_EQ(whyNot("dangling", flags), "a symbolic link is in its place");
        // Neither blocks on the FIFO nor opens a device.
        EXPECT_EQ(whyNot("pipe", flags), "it is not a regular file");
        EXPECT_EQ(whyNot("/dev/null", flags), "it is not a regular file");
        EXPECT_EQ(whyNot("data", flags), "it is not a regular file");
    }
    EXPECT_EQ(readText("mine.txt"), "mine\n");
    EXPECT_FALSE(fs::exists("new.txt"));
    EXPECT_EQ(whyNot("mine.txt", O_TRUNC), "opened");
    EXPECT_EQ(readText("mine.txt"), "");
}

TEST_F(FilesTest, PicturesGoToTheStartFolderElseToTheReadersPictureFolder) {
    const std::string home = (folder / "home").string();
    fs::create_directories(home + "/.config");
    EXPECT_EQ(shotsFolderFor("/start", true, "/pics", nullptr, home.c_str()), "/start");
    EXPECT_EQ(shotsFolderFor("/start", false, "/pics", nullptr, home.c_str()), "/pics");
    // Relative values are no values; the missing folder is made.
    EXPECT_EQ(shotsFolderFor("/start", false, "pics", "cfg", home.c_str()), home + "/Pictures");
    EXPECT_TRUE(fs::is_directory(home + "/Pictures"));
    writeFile(home + "/.config/user-dirs.dirs", std::string("# written by xdg-user-dirs-update\n"
                                                            "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                                                            "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n"));
    EXPECT_EQ(picturesFolderFor(nullptr, nullptr, home.c_str()), home + "/Bilder");
    fs::create_directories(folder / "cfg");
    writeFile(folder / "cfg" / "user-dirs.dirs", std::string("  XDG_PICTURES_DIR = \"/srv/fotos\"\n"));
    EXPECT_EQ(picturesFolderFor(nullptr, (folder / "cfg").c_str(), home.c_str()), "/srv/fotos");
    EXPECT_EQ(shotsFolderFor("/start", false, nullptr, nullptr, nullptr), "/start") << "nowhere else to go";
}

TEST_F(FilesTest, AShotTakesTheFirstFreeNameAndNeverOverwrites) {
    const Bytes red = solidRaw(255, 0, 0);
    writeFile("orbex-shot-0001.png", std::string("someone else's"));
    fs::create_symlink(fs::absolute("mine.txt"), "orbex-shot-0002.png");
    std::string path, why;
    ASSERT_TRUE(writeNewShot(folder.string(), red, 640, 480, &path, why)) << why;
    EXPECT_EQ(path, (folder / "orbex-shot-0003.png").string());
    EXPECT_EQ(readPngRgb(path), red);
    EXPECT_EQ(readText("orbex-shot-0001.png"), "someone else's");
    EXPECT_FALSE(fs::exists("mine.txt"));
    ASSERT_TRUE(writeNewShot("", red, 640, 480, &path, why)) << why;
    EXPECT_EQ(path, "orbex-shot-0004.png");
    // A folder that cannot take it ends the search with the reason.
    EXPECT_FALSE(writeNewShot((folder / "missing").string(), red, 640, 480, &path, why));
    EXPECT_EQ(why, "No such file or directory");
    EXPECT_FALSE(writeNewShot(folder.string(), red, 640, 481, &path, why));
    EXPECT_EQ(why, "no picture");
}

} // namespace
} // namespace orbex::test
