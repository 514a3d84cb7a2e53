// The log "orbex.log": whole entries appended, line feeds stored as 13 10,
// nothing written without the letter l.
#include <sys/stat.h>

#include <string>

#include "base/log.h"
#include "base/settings.h"
#include "common/geometry.h"
#include "display/display.h"
#include "platform/headless/headless.h"
#include "platform/testing.h"
#include "shell/startup.h"
#include "shell/windowproc.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

using LogTest = ViewerTest;

TEST_F(LogTest, WritesOnlyWithTheLetter) {
    writeLog("doInit\n");
    EXPECT_FALSE(std::filesystem::exists("orbex.log"));
    bLogOn = 1;
    writeLog("doInit\n");
    EXPECT_EQ(readText("orbex.log"), "doInit\r\n");
}

TEST_F(LogTest, AppendLogFileWritesUnconditionally) {
    appendLogFile("Version 0.95\n");
    EXPECT_EQ(readText("orbex.log"), "Version 0.95\r\n");
}

TEST_F(LogTest, EntryIsStoredAsItsBytesWithCarriageReturns) {
    bLogOn = 1;
    writeLog("Entering DX message loop\n");
    EXPECT_EQ(readFile("orbex.log"), bytesOf(std::string("Entering DX message loop") + "\x0D\x0A"));

    // Every line feed of an entry, a leading one too; no other byte changes.
    std::filesystem::remove("orbex.log");
    writeLog("\n!!!updateFrame A F T E R shutdown!!!\n");
    writeLog("a\nb\n\n\xFC\r");
    EXPECT_EQ(readText("orbex.log"), "\r\n!!!updateFrame A F T E R shutdown!!!\r\na\r\nb\r\n\r\n\xFC\r");
}

TEST_F(LogTest, EntriesAreAppendedToEarlierRuns) {
    writeFile("orbex.log", std::string("earlier run\r\n"));
    bLogOn = 1;
    writeLog("Closing Engine\n");
    writeLog("Quit viewer\n");
    EXPECT_EQ(readText("orbex.log"), "earlier run\r\nClosing Engine\r\nQuit viewer\r\n");
}

TEST_F(LogTest, DeletedLogIsMadeAgainAtTheNextEntry) {
    bLogOn = 1;
    writeLog("one\n");
    std::filesystem::remove("orbex.log");
    writeLog("two\n");
    EXPECT_EQ(readText("orbex.log"), "two\r\n");
}

TEST_F(LogTest, CreatedLogIsReadableAndWritable) {
    bLogOn = 1;
    writeLog("x\n");
    struct stat st {};
    ASSERT_EQ(stat("orbex.log", &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0600, 0600u);
}

TEST_F(LogTest, UnwritableLogIsSilentlyLost) {
    std::filesystem::create_directory("orbex.log");
    bLogOn = 1;
    writeLog("lost\n");
    appendLogFile("lost too\n");
    EXPECT_TRUE(std::filesystem::is_directory("orbex.log"));
}

TEST_F(LogTest, LogNameTakenByAPipeNeverBlocks) {
    ASSERT_EQ(mkfifo("orbex.log", 0600), 0);
    bLogOn = 1;
    writeLog("lost\n");
    appendLogFile("lost too\n");
    EXPECT_FALSE(std::filesystem::is_regular_file("orbex.log"));
}

TEST_F(LogTest, FailingDisplayWithoutTheLetterLeavesNoLog) {
    bMusicOn = 0;
    offerDepths({});
    EXPECT_EQ(doInit(nullptr, SW_SHOWDEFAULT, viewerWindowProc, reportInitFailure), 0);
    EXPECT_FALSE(std::filesystem::exists("orbex.log"));
    EXPECT_EQ(headless::messageBoxes().size(), 3u);
}

} // namespace
} // namespace orbex::test
