#include "base/textfile.h"

#include <sys/stat.h>

#include "support/viewer_test.h"

namespace orbex::test {
namespace {

class TextFileTest : public ViewerTest {};

std::string readAll(const char *name) {
    TextFileReader in(name);
    std::string out;
    for (int c = in.getByte(); c != TEXT_EOF; c = in.getByte())
        out += static_cast<char>(c);
    return out;
}

TEST_F(TextFileTest, ReadingDropsCarriageReturnsAndEndsAtByte26) {
    writeFile("a.txt", std::string("one\r\ntwo\r\r\nthree\x1A"
                                   "after"));
    EXPECT_EQ(readAll("a.txt"), "one\ntwo\r\nthree");
    // A 26 right after a dropped carriage return still ends the file.
    writeFile("b.txt", std::string("x\r\x1Ay"));
    EXPECT_EQ(readAll("b.txt"), "x");
    // End of file stays end of file.
    TextFileReader in("b.txt");
    EXPECT_EQ(in.getByte(), 'x');
    EXPECT_EQ(in.getByte(), TEXT_EOF);
    EXPECT_EQ(in.getByte(), TEXT_EOF);
}

TEST_F(TextFileTest, WritingTurnsLineFeedsIntoCarriageReturnLineFeed) {
    {
        TextFileWriter out("w.txt", TextFileMode::Truncate);
        ASSERT_TRUE(out.isOpen());
        out.write("a\nb\r\n", 5);
    }
    EXPECT_EQ(readText("w.txt"), "a\r\nb\r\r\n");
    {
        TextFileWriter out("w.txt", TextFileMode::Append);
        out.write("c\n", 2);
    }
    EXPECT_EQ(readText("w.txt"), "a\r\nb\r\r\nc\r\n");
    struct stat st {};
    ASSERT_EQ(stat("w.txt", &st), 0);
    EXPECT_EQ(st.st_mode & 0600, 0600u);
}

TEST_F(TextFileTest, OnlyRegularFilesOpen) {
    EXPECT_FALSE(TextFileReader("missing.txt").isOpen());
    EXPECT_FALSE(TextFileReader("data").isOpen());
    EXPECT_FALSE(TextFileReader("/dev/zero").isOpen());
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    EXPECT_FALSE(TextFileReader("pipe").isOpen());
    EXPECT_EQ(openRegularFile("pipe"), nullptr);
}

} // namespace
} // namespace orbex::test
