// The tools' folders and files: nothing reached through a link or out of the
// folder given, writes that replace a file instead of writing into it, and
// reads that stop at their limit.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "files.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

namespace fs = std::filesystem;

class ToolFiles : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        fs::create_directories("project/src/articles");
        fs::create_directories("outside");
        writeFile("outside/secret.txt", std::string("secret"));
        writeFile("project/src/articles/01-a.txt", std::string("text"));
        ASSERT_EQ(::symlink("../outside", "project/linked"), 0);
        ASSERT_EQ(::symlink("../../outside/secret.txt", "project/src/secret.txt"), 0);
        std::string why;
        ASSERT_TRUE(Folder::given("project", project, why)) << why;
    }
    Folder project;
};

TEST_F(ToolFiles, NothingIsReachedThroughALinkOrOutOfTheFolder) {
    Bytes bytes;
    FileRead read = project.read("src/articles/01-a.txt", bytes);
    ASSERT_EQ(read.result, ReadResult::Ok);
    EXPECT_EQ(bytes, bytesOf("text"));
    EXPECT_EQ(read.size, 4u);

    struct Case {
        const char *name;
        ReadResult result;
        const char *where;
    } cases[] = {
        {"linked/secret.txt", ReadResult::Link, "linked"},
        {"src/secret.txt", ReadResult::Link, "src/secret.txt"},
        {"../outside/secret.txt", ReadResult::Outside, "../outside/secret.txt"},
        {"src/../../outside/secret.txt", ReadResult::Outside, "src/../../outside/secret.txt"},
        {"/etc/hostname", ReadResult::Outside, "/etc/hostname"},
        {"src/missing/x.txt", ReadResult::Missing, "src/missing"},
        {"src/articles", ReadResult::NotRegular, "src/articles"},
    };
    for (const Case &c : cases) {
        read = project.read(c.name, bytes);
        EXPECT_EQ(read.result, c.result) << c.name;
        EXPECT_EQ(read.where, c.where) << c.name;
        EXPECT_TRUE(bytes.empty()) << c.name;
    }
    EXPECT_EQ(project.problem(project.read("linked/secret.txt", bytes)),
              "project/linked: a symbolic link, which orbex-tool does not follow");

    Folder sub;
    std::string why;
    EXPECT_FALSE(project.sub("linked", sub, true, why));
    EXPECT_EQ(why, "project/linked: a symbolic link, which orbex-tool does not follow");
    EXPECT_FALSE(project.sub("../outside", sub, false, why));
    EXPECT_FALSE(project.write("linked/new.txt", bytesOf("x"), why));
    EXPECT_FALSE(project.write("src/secret.txt", bytesOf("x"), why));
    EXPECT_EQ(why, "project/src/secret.txt: cannot write (a symbolic link, which orbex-tool does not follow)");
    EXPECT_EQ(readText("outside/secret.txt"), "secret");
    EXPECT_FALSE(fs::exists("outside/new.txt"));

    // Made on the way when asked, never through a link.
    ASSERT_TRUE(project.sub("data/deeper", sub, true, why)) << why;
    EXPECT_EQ(sub.path(), "project/data/deeper");
    EXPECT_TRUE(fs::is_directory("project/data/deeper"));
}

TEST_F(ToolFiles, AFolderNamedMayLieBehindALinkButNotBeOne) {
    ASSERT_EQ(::symlink(".", "here"), 0);
    Folder folder;
    std::string why;
    EXPECT_TRUE(Folder::given("here/project/src/", folder, why)) << why;
    EXPECT_EQ(folder.path(), "here/project/src");
    EXPECT_FALSE(Folder::given("project/linked", folder, why));
    EXPECT_EQ(why, "project/linked: a symbolic link, which orbex-tool does not follow");
    EXPECT_FALSE(Folder::made("project/linked", folder, why));
    EXPECT_FALSE(Folder::given("project/none", folder, why));
    EXPECT_EQ(why, "project/none: missing");
    EXPECT_FALSE(Folder::given("project/src/articles/01-a.txt", folder, why));
    EXPECT_EQ(why, "project/src/articles/01-a.txt: not a folder");
    EXPECT_TRUE(Folder::made("project/new", folder, why)) << why;
    EXPECT_TRUE(fs::is_directory("project/new"));

    // Files named on the command line: the path up to them is followed, the
    // file itself is not.
    Bytes bytes;
    EXPECT_EQ(readFileBytes("here/project/src/articles/01-a.txt", bytes), ReadResult::Ok);
    EXPECT_EQ(readFileBytes("project/src/secret.txt", bytes), ReadResult::Link);
    EXPECT_FALSE(writeBytes("project/linked/x.txt", bytesOf("x")));
    EXPECT_FALSE(fs::exists("outside/x.txt"));
}

TEST_F(ToolFiles, AWriteReplacesTheFileAndLeavesNothingElse) {
    writeFile("project/old.txt", std::string("old"));
    ASSERT_EQ(::link("project/old.txt", "project/other-name.txt"), 0);
    ASSERT_EQ(::chmod("project/old.txt", 0600), 0);
    std::string why;
    ASSERT_TRUE(project.write("old.txt", bytesOf("new"), why)) << why;
    EXPECT_EQ(readText("project/old.txt"), "new");
    EXPECT_EQ(readText("project/other-name.txt"), "old");
    ASSERT_TRUE(project.write("src/articles/02-b.txt", Bytes{}, why)) << why;
    EXPECT_EQ(fs::file_size("project/src/articles/02-b.txt"), 0u);

    // A FIFO or a folder in the file's place is refused at once.
    ASSERT_EQ(::mkfifo("project/fifo", 0600), 0);
    EXPECT_FALSE(project.write("fifo", bytesOf("x"), why));
    EXPECT_EQ(why, "project/fifo: cannot write (not a regular file)");
    EXPECT_FALSE(project.write("src", bytesOf("x"), why));
    EXPECT_FALSE(project.write("missing/x.txt", bytesOf("x"), why));
    EXPECT_EQ(why, "project/missing: missing");

    std::vector<std::string> names;
    ASSERT_TRUE(project.list(names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"fifo", "linked", "old.txt", "other-name.txt", "src"}));
}

TEST_F(ToolFiles, ReadsStopAtTheirLimitAndNameTheFileRead) {
    writeFile("project/ten.txt", std::string("0123456789"));
    Bytes bytes;
    FileRead read = project.read("ten.txt", bytes, 9);
    EXPECT_EQ(read.result, ReadResult::TooBig);
    EXPECT_EQ(read.size, 10u);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(project.problem(read, 9), "project/ten.txt: larger than 9 bytes");
    read = project.read("ten.txt", bytes, 4, ReadMode::Head);
    EXPECT_EQ(read.result, ReadResult::Ok);
    EXPECT_EQ(bytes, bytesOf("0123"));
    EXPECT_EQ(read.size, 10u);

    // Two names of one file are the same file.
    ASSERT_EQ(::link("project/ten.txt", "project/src/again.txt"), 0);
    FileId first = project.read("ten.txt", bytes).id;
    EXPECT_EQ(project.read("./src//again.txt", bytes).id, first);
    EXPECT_NE(project.read("src/articles/01-a.txt", bytes).id, first);
}

} // namespace
} // namespace orbex::test
