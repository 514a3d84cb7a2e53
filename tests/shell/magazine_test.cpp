// Which demo magazine a start outside any magazine finds.
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
}

} // namespace
} // namespace orbex::test
