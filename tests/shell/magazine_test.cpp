// Which demo magazine a start outside any magazine finds.
#include "shell/magazine.h"

#include <filesystem>

#include "support/viewer_test.h"

namespace orbex::test {
namespace {

namespace fs = std::filesystem;

class MagazineTest : public ViewerTest {
  protected:
    static void makeMagazine(const fs::path &where) {
        fs::create_directories(where / "data");
        writeFile(where / "data" / "orbex.dat", std::string("d\n\x9E"));
    }
};

TEST_F(MagazineTest, TheProgramsOwnPrefixComesFirstThenTheBuildTreeThenTheInstallFolder) {
    const fs::path prefix = folder / "prefix";
    const std::string exe = (prefix / "bin" / "orbex").string();
    const fs::path installed = folder / "datadir";
    EXPECT_EQ(findDemoMagazine(exe, installed.string()), "");
    makeMagazine(installed / "magazine");
    EXPECT_EQ(findDemoMagazine(exe, installed.string()), (installed / "magazine").string());
    makeMagazine(prefix / "bin" / "magazine");
    EXPECT_EQ(findDemoMagazine(exe, installed.string()), (prefix / "bin" / "magazine").string());
    makeMagazine(prefix / "share" / "orbex" / "magazine");
    EXPECT_EQ(findDemoMagazine(exe, installed.string()), (prefix / "bin/../share/orbex/magazine").string());
    EXPECT_EQ(findDemoMagazine("", ""), "");
}

TEST_F(MagazineTest, AFolderWithoutAnArchiveIsNoMagazine) {
    // The fixture's folder has data/ but no archive.
    EXPECT_FALSE(holdsMagazine("."));
    fs::create_directories("share/orbex/magazine/data");
    EXPECT_EQ(findDemoMagazine((folder / "bin" / "orbex").string(), ""), "");
    // A broken link still says that the reader meant a magazine here.
    fs::create_symlink("/nonexistent/orbex.dat", "data/orbex.dat");
    EXPECT_TRUE(holdsMagazine("."));
}

} // namespace
} // namespace orbex::test
