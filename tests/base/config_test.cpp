#include "base/config.h"
#include "base/settings.h"

#include <filesystem>

#include "support/viewer_test.h"

namespace orbex::test {
namespace {

class ConfigTest : public ViewerTest {
  protected:
    std::vector<int> readAll() {
        std::vector<int> out;
        for (int n = 1; n <= 3; ++n) {
            auto b = readConfigByte(n);
            out.push_back(b ? int{*b} : -1);
        }
        return out;
    }
};

TEST_F(ConfigTest, MissingFileGivesNoValueAndIsNotCreatedByReading) {
    EXPECT_EQ(readAll(), (std::vector<int>{-1, -1, -1}));
    EXPECT_FALSE(std::filesystem::exists("orbex.cfg"));
    // A folder of that name is no configuration file.
    std::filesystem::create_directory("orbex.cfg");
    EXPECT_FALSE(readConfigByte(1));
}

TEST_F(ConfigTest, BytesPastTheEndReadAs255) {
    writeFile("orbex.cfg", Bytes{});
    EXPECT_EQ(readAll(), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(readFile("orbex.cfg").size(), 0u);
    writeFile("orbex.cfg", Bytes{2});
    EXPECT_EQ(readAll(), (std::vector<int>{2, 255, 255}));
}

TEST_F(ConfigTest, OnlyTheFirstThreeBytesCount) {
    writeFile("orbex.cfg", Bytes{2, 2, 0});
    EXPECT_EQ(readAll(), (std::vector<int>{2, 2, 0}));
    writeFile("orbex.cfg", Bytes{3, 6, 7, 9, 9, 9});
    EXPECT_EQ(readAll(), (std::vector<int>{3, 6, 7}));
}

TEST_F(ConfigTest, TextModeDropsCarriageReturnsAndEndsAtByte26) {
    writeFile("orbex.cfg", Bytes{13, 5, 6, 7});
    EXPECT_EQ(readAll(), (std::vector<int>{5, 6, 7}));
    writeFile("orbex.cfg", Bytes{1, 26, 3});
    EXPECT_EQ(readAll(), (std::vector<int>{1, 255, 255}));
}

TEST_F(ConfigTest, CreationWritesOneOneOneOverAnyContent) {
    createConfigFile();
    EXPECT_EQ(readFile("orbex.cfg"), (Bytes{1, 1, 1}));
    writeFile("orbex.cfg", Bytes{9, 9, 9, 9, 9});
    createConfigFile();
    EXPECT_EQ(readFile("orbex.cfg"), (Bytes{1, 1, 1}));
}

} // namespace
} // namespace orbex::test
