// Which demo magazine a start outside any magazine finds, and which
// magazines are installed ones.
#include "shell/magazine.h"

#include <filesystem>

#include "support/viewer_test.h"

namespace orbex::test {
namespace {

namespace fs = std::filesystem;

class MagazineTest : public ViewerTest {};

TEST_F(MagazineTest, TheProgramsOwnPrefixComesFirstThenTheBuildTreeThenTheInstallFolder) {
    const fs::path prefix = folder / "prefix";
    const std::string exe = (prefix / "bin" / "orbex").string();
    const std::string installed = (folder / "datadir").string();
    auto makeMagazine = [](const fs::path &where) {
        fs::create_directories(where / "data");
        writeFile(where / "data" / "orbex.dat", std::string("d\n\x9E"));
    };
    fs::create_directories(prefix / "share/orbex/magazine/data"); // no archive: no magazine
    EXPECT_EQ(findDemoMagazine(exe, installed), "");
    makeMagazine(installed + "/magazine");
    EXPECT_EQ(findDemoMagazine(exe, installed), installed + "/magazine");
    makeMagazine(prefix / "bin" / "magazine");
    EXPECT_EQ(findDemoMagazine(exe, installed), (prefix / "bin" / "magazine").string());
    makeMagazine(prefix / "share/orbex/magazine");
    EXPECT_EQ(findDemoMagazine(exe, installed), (prefix / "bin/../share/orbex/magazine").string());

    // Only the installed ones are the package manager's, however they are named.
    EXPECT_TRUE(isInstalledMagazine((prefix / "share/orbex/magazine").string(), exe, installed));
    EXPECT_TRUE(isInstalledMagazine(installed + "/magazine/data/..", exe, installed));
    EXPECT_FALSE(isInstalledMagazine((prefix / "bin" / "magazine").string(), exe, installed));
    EXPECT_FALSE(isInstalledMagazine(folder.string(), exe, ""));
}

TEST_F(MagazineTest, OnlyArgumentsNamingAFolderOrZipFileAreTakenOutOfTheLetters) {
    fs::create_directories("online kiosk");
    writeFile("issue.Zip", std::string("PK"));
    writeFile("notes.txt", std::string("n"));
    fs::create_symlink("online kiosk", "link to kiosk");
    CommandLine line = splitCommandLine({"-n", "online kiosk", "notes.txt", "issue.Zip", "link to kiosk", "missing.zip",
                                         "", "k l", (folder / "online kiosk").string()});
    EXPECT_EQ(line.magazines, (std::vector<std::string>{"online kiosk", "issue.Zip", "link to kiosk",
                                                        (folder / "online kiosk").string()}));
    // The rest joined by blanks, as the original's runtime joined them.
    EXPECT_EQ(line.letters, "-n notes.txt missing.zip  k l");
    EXPECT_TRUE(splitCommandLine({}).letters.empty());
    EXPECT_TRUE(isZipName("a.ZIP"));
    EXPECT_FALSE(isZipName(".zip"));
    EXPECT_FALSE(isZipName("zip"));
}

} // namespace
} // namespace orbex::test
