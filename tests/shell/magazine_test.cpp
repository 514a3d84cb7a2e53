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

} // namespace
} // namespace orbex::test
