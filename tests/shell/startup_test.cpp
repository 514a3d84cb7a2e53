// The start-up: command-line letters, the order of a whole run as its log
// shows it, the engine start and its failures, the message loop.
#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "base/settings.h"
#include "common/geometry.h"
#include "display/display.h"
#include "platform/bass.h"
#include "platform/headless/headless.h"
#include "platform/testing.h"
#include "present/frame.h"
#include "shell/startup.h"
#include "support/magazine.h"
#include "support/page_files.h"
#include "support/viewer_test.h"
#include "text/archive.h"

namespace orbex::test {
namespace {

using Lines = std::vector<std::string>;

const std::string INIT_FAILED = "DirectDraw Init FAILED";
const std::string STOP_FAILED = "BASS STOP FEHLGESCHLAGEN - warscheinlich lief es nicht...";

// --- command-line letters ---------------------------------------------------

struct Letters {
    const char *name;
    const char *cmdLine;
    int music, log, mouse;
};

void PrintTo(const Letters &c, std::ostream *os) { *os << c.name; }

class LetterTest : public ViewerTest, public ::testing::WithParamInterface<Letters> {};

TEST_P(LetterTest, SetsTheSwitches) {
    std::string cmdLine = GetParam().cmdLine;
    scanCommandLine(cmdLine.c_str());
    EXPECT_EQ(bMusicOn, GetParam().music);
    EXPECT_EQ(bLogOn, GetParam().log);
    EXPECT_EQ(bMouseOn, GetParam().mouse);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, LetterTest,
                         ::testing::Values(Letters{"Empty", "", 1, 0, 1}, Letters{"Separated", "n l k", 0, 1, 0},
                                           Letters{"Joined", "kln", 0, 1, 0}, Letters{"Dash", "-n", 0, 0, 1},
                                           Letters{"Slash", "/k", 1, 0, 0}, Letters{"UpperCase", "N L K", 1, 0, 1},
                                           Letters{"InsideAWord", "online", 0, 1, 1},
                                           Letters{"Others", "xyz 123 -q", 1, 0, 1}),
                         [](const auto &info) { return std::string(info.param.name); });

// --- whole runs -------------------------------------------------------------

// Contents page (header-less, CR LF line ends) and one article.
const std::string ARCHIVE = "d\r\nInhalt\r\nZeile 2\r\n\x9E"
                            "xTitel\nAutor\n\nText\n\x9E";

class RunTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        // A blank font and a background; no other picture.
        TestMagazine magazine;
        magazine.archive = ARCHIVE;
        magazine.font = Bytes(32768, 0);
        magazine.background = solidPcx(640, 480, 3, 0x40, 0x80);
        magazine.startPicture.reset();
        magazine.endPicture.reset();
        magazine.config.reset();
        magazine.write();
    }
    static int run(const char *cmdLine, const std::string &script) {
        std::string error;
        EXPECT_TRUE(loadScript(script, error)) << error;
        std::string text = cmdLine;
        return WinMain(nullptr, nullptr, text.data(), SW_SHOWDEFAULT);
    }
};

const Lines RUN_START_TAIL{"Version 0.95", "doInit", "OFFscreen created", "Entering DX message loop"};
const Lines RUN_END{"Closing Engine", "Closing DirectDraw", "Quit viewer"};

void expectWholeRun(const Lines &log) {
    ASSERT_EQ(log.size(), 9u);
    // The credits line comes framed by line feeds.
    EXPECT_EQ(log[0], "");
    EXPECT_NE(log[1], "");
    EXPECT_EQ(Lines(log.begin() + 2, log.begin() + 6), RUN_START_TAIL);
    EXPECT_EQ(Lines(log.begin() + 6, log.end()), RUN_END);
}

TEST_F(RunTest, WholeRunLogsInOrderAndSavesTheContentsPage) {
    EXPECT_EQ(run("ln", "frames 3\nkey F2\nframes 2\n"), 0);
    expectWholeRun(logLines());
    EXPECT_EQ(readText("save.txt"), "Inhalt\r\nZeile 2\r\n");
    EXPECT_EQ(nArticle, 1);
    // The first frame of initEngine and the five of the script.
    EXPECT_EQ(flipCount(), 6u);
    EXPECT_TRUE(headless::messageBoxes().empty());
}

TEST_F(RunTest, TheMusicIsStoppedAtTheEndOfARunWithMusicOnly) {
    ASSERT_EQ(run("", "frames 2\n"), 0);
    std::vector<std::string> calls = soundCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(calls.end() - 2, calls.end()),
              (std::vector<std::string>{"BASS_Stop", "BASS_MusicFree 0"}));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "BASS_Stop"), 1);

    resetViewer();
    ASSERT_EQ(run("n", "frames 2\n"), 0);
    EXPECT_TRUE(soundCalls().empty());
}

TEST_F(RunTest, SecondRunAppends) {
    ASSERT_EQ(run("ln", "frames 1\n"), 0);
    Lines first = logLines();
    resetViewer();
    ASSERT_EQ(run("nl", "frames 1\n"), 0);
    Lines both = logLines();
    ASSERT_EQ(both.size(), 2 * first.size());
    EXPECT_EQ(Lines(both.begin(), both.begin() + 9), first);
    expectWholeRun(Lines(both.begin() + 9, both.end()));
}

TEST_F(RunTest, NoLogWithoutTheLetter) {
    EXPECT_EQ(run("n", "frames 2\n"), 0);
    EXPECT_FALSE(std::filesystem::exists("orbex.log"));
}

TEST_F(RunTest, StartPictureIsShownBeforeTheArchiveLoads) {
    setPitchPadding(0);
    EXPECT_EQ(initEngine(nullptr, nullptr, nullptr, SW_SHOWDEFAULT), 1);
    EXPECT_EQ(flipCount(), 1u);
    EXPECT_EQ(nTextLength, 0);
    EXPECT_EQ(ViewerMode, MODE_INTRO);
}

TEST_F(RunTest, InactiveViewerDrawsNothing) {
    EXPECT_EQ(run("n", "activate 0\nframes 5\nactivate 1\nframes 2\n"), 0);
    // initEngine's frame and the two after the activation.
    EXPECT_EQ(flipCount(), 3u);
}

TEST_F(RunTest, BusyBackBufferStillLetsMessagesThrough) {
    failDisplay(DisplayOp::LockBack, DDERR_SURFACEBUSY, 1000);
    EXPECT_EQ(run("ln", "frames 3\nkey F2\nframes 2\n"), 0);
    EXPECT_EQ(flipCount(), 0u);
    EXPECT_EQ(readText("save.txt"), "Inhalt\r\nZeile 2\r\n");
    Lines log = logLines();
    // initEngine's frame and the five of the script, each skipped.
    EXPECT_EQ(std::count(log.begin(), log.end(), "Override"), 6);
    EXPECT_EQ(std::count(log.begin(), log.end(), "DDERR_SURFACEBUSY"), 6);
    EXPECT_EQ(Lines(log.end() - 3, log.end()), RUN_END);
}

TEST_F(RunTest, WindowCloseIsTheOnlyWayOut) {
    EXPECT_EQ(run("ln", "frames 2\nclose\nframes 50\n"), 0);
    EXPECT_EQ(flipCount(), 3u);
    expectWholeRun(logLines());
}

TEST_F(RunTest, QuitRequestDrawsFramesUntilTheNextMessage) {
    std::filesystem::remove("data/chars.168"); // a missing font ends the viewer
    EXPECT_EQ(run("ln", "frames 3\n"), 0);
    Lines log = logLines();
    const std::string warning = "!!!updateFrame A F T E R shutdown!!!";
    // initEngine's first frame and the three frames before the close request.
    EXPECT_EQ(std::count(log.begin(), log.end(), warning), 4);
    EXPECT_EQ(flipCount(), 4u);
    EXPECT_EQ(Lines(log.end() - 3, log.end()), RUN_END);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Quit viewer"), 1);
}

TEST_F(RunTest, NoWindowEndsWinMainWithOne) {
    failWindowCreation();
    EXPECT_EQ(run("ln", "frames 3\n"), 1);
    Lines log = logLines();
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(Lines(log.begin() + 2, log.begin() + 4), (Lines{"Version 0.95", "doInit"}));
    // The end is logged, and the loop was never entered.
    EXPECT_EQ(log.size(), 5u);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Entering DX message loop"), 0);
    EXPECT_TRUE(headless::messageBoxes().empty());
    EXPECT_EQ(flipCount(), 0u);
}

TEST_F(RunTest, FailingDisplayStillLoadsTheArchiveAndEnds) {
    offerDepths({});
    // Music on: the shutdown stops a library that never started, which fails.
    EXPECT_EQ(run("l", "frames 3\n"), 0);

    const auto &boxes = headless::messageBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0], "Versuchte zuerst 640*480*24bpp, danach 640*480*16bpp. Keine der Modies gefunden.");
    EXPECT_EQ(boxes[1].rfind("BETATESTERNACHRICHT: ", 0), 0u);
    EXPECT_EQ(boxes[2], INIT_FAILED);
    EXPECT_EQ(boxes[3], STOP_FAILED);

    Lines log = logLines();
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(Lines(log.begin() + 2, log.end()),
              (Lines{"Version 0.95", "doInit", "SetDisplayMode (SCREENWIDTH, SCREENHEIGHT, SCREENCOLORS) FAILED",
                     "Closing Engine", "Closing DirectDraw", "Quit viewer", "Entering DX message loop"}));
    EXPECT_EQ(nArticle, 1);
    EXPECT_EQ(nTextLength, 15);
    EXPECT_EQ(flipCount(), 0u);
}

TEST_F(RunTest, OffscreenFailureSkipsAssetsButRuns) {
    std::filesystem::remove("data/chars.168");
    failDisplay(DisplayOp::CreateOffscreen, DDERR_OUTOFMEMORY);
    EXPECT_EQ(initEngine(nullptr, nullptr, nullptr, SW_SHOWDEFAULT), 0);
    // No asset set-up (the missing font would be reported) and no first frame.
    EXPECT_TRUE(headless::messageBoxes().empty());
    EXPECT_EQ(flipCount(), 0u);
    EXPECT_TRUE(IsWindow(hViewerWindow));
}

TEST_F(RunTest, OffscreenFailureRunStillDrawsFrames) {
    failDisplay(DisplayOp::CreateOffscreen, DDERR_OUTOFMEMORY);
    EXPECT_EQ(run("ln", "frames 4\n"), 0);
    EXPECT_EQ(flipCount(), 4u);
    Lines log = logLines();
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log[4], "OFFscreen creation FAILED");
}

// --- the binary -------------------------------------------------------------

TEST_F(RunTest, BinaryRunsTwiceAndAppends) {
    auto runBinary = [&](const std::string &letters) { return runProgram(headlessRun(letters)).status(); };
    writeFile("script.txt", std::string("frames 5\nkey F2\nframes 1\n"));
    ASSERT_EQ(runBinary("l n"), 0);
    Lines first = logLines();
    expectWholeRun(first);
    EXPECT_EQ(readText("save.txt"), "Inhalt\r\nZeile 2\r\n");
    ASSERT_EQ(runBinary("nl"), 0);
    Lines both = logLines();
    ASSERT_EQ(both.size(), 18u);
    expectWholeRun(Lines(both.begin() + 9, both.end()));
}

TEST_F(RunTest, BinaryRefusesAScriptOrClockItCannotUse) {
    auto runBinary = [&](const std::string &letters) { return runProgram(headlessRun(letters)).status(); };
    // A run that cannot follow its script would otherwise end with success.
    writeFile("script.txt", std::string("frames 5\nkey F3\nframes 1\n"));
    EXPECT_EQ(runBinary("l n"), 1);
    EXPECT_NE(readText("stderr.txt").find("script.txt: line 2: unknown key F3"), std::string::npos);
    std::filesystem::remove("script.txt");
    EXPECT_EQ(runBinary("l n"), 1);
    std::filesystem::create_directory("script.txt");
    EXPECT_EQ(runBinary("l n"), 1);
    EXPECT_FALSE(std::filesystem::exists("orbex.log"));

    std::filesystem::remove("script.txt");
    writeFile("script.txt", std::string("frames 1\n"));
    ProgramRun run = headlessRun("l n");
    run.environment.push_back("ORBEX_CLOCK=step:0");
    EXPECT_EQ(runProgram(run).status(), 1);
    EXPECT_FALSE(std::filesystem::exists("orbex.log"));
}

} // namespace
} // namespace orbex::test
