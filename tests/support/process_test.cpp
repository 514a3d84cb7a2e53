// The helper that starts programs for the end-to-end tests, and orbex_launch
// that offers it to scripts: what they promise is what keeps a test from
// passing by accident (a setting inherited from the shell) or from hanging.
#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <string>

#include "support/child.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

class ProcessTest : public ViewerTest {};

TEST_F(ProcessTest, ProgramsSeeNoInheritedOrbexVariableAndTheGivenOnes) {
    ::setenv("ORBEX_MAGAZINE", "/somewhere/else", 1);
    ::setenv("ORBEX_CLOCK", "step:5", 1);
    ::setenv("ORBEX_ANY_OTHER", "1", 1);
    ProgramRun run;
    run.program = "sh";
    run.arguments = {"-c", "env > env.txt"};
    run.environment = {"ORBEX_CLOCK=step:20", "ORBEX_VIDEO=headless", "ORBEX_CLOCK=step:7"};
    const RunResult result = runProgram(run);
    clearViewerEnvironment();
    ASSERT_EQ(result.status(), 0);
    const std::string env = readText("env.txt");
    EXPECT_EQ(env.find("ORBEX_MAGAZINE"), std::string::npos) << env;
    EXPECT_EQ(env.find("ORBEX_ANY_OTHER"), std::string::npos) << env;
    EXPECT_NE(env.find("ORBEX_VIDEO=headless\n"), std::string::npos) << env;
    // A later entry replaces an earlier one of the same name.
    EXPECT_NE(env.find("ORBEX_CLOCK=step:7\n"), std::string::npos) << env;
    EXPECT_EQ(env.find("ORBEX_CLOCK=step:20"), std::string::npos) << env;
    EXPECT_EQ(env.find("ORBEX_CLOCK=step:5"), std::string::npos) << env;
    EXPECT_NE(env.find("PATH="), std::string::npos);
}

// The tools' memory limits are checked on this figure: a test process that
// has grown big must not make a small program look big.
TEST_F(ProcessTest, AChildsPeakMemoryIsItsOwnNotTheTestProcesses) {
    std::vector<char> ballast(256u << 20);
    for (std::size_t i = 0; i < ballast.size(); i += 4096)
        ballast[i] = 1;
    const ChildResult small = runChild({"sh", "-c", "exit 3"});
    EXPECT_EQ(small.status, 3);
    EXPECT_GT(small.maxRssKiB, 0);
    EXPECT_LT(small.maxRssKiB, 64 * 1024) << "the test process weighs " << ballast.size() / 1024 << " KiB";
    const ChildResult killed = runChild({"sh", "-c", "kill -9 $$"});
    EXPECT_EQ(killed.status, -1);
    EXPECT_FALSE(killed.timedOut);
    const ChildResult late = runChild({"sleep", "30"}, 0.2);
    EXPECT_TRUE(late.timedOut);
    EXPECT_EQ(late.status, -1);
}

TEST_F(ProcessTest, ProgramRunsInItsFolderWithItsOutputThere) {
    std::filesystem::create_directory("inner");
    ProgramRun run;
    run.program = "sh";
    run.arguments = {"-c", "pwd; echo oops >&2; exit 3"};
    run.folder = folder / "inner";
    EXPECT_EQ(runProgram(run).status(), 3);
    EXPECT_EQ(readText("inner/stdout.txt"), (folder / "inner").string() + "\n");
    EXPECT_EQ(readText("inner/stderr.txt"), "oops\n");
}

TEST_F(ProcessTest, ProgramPastItsDeadlineIsKilled) {
    ProgramRun run;
    run.program = "sleep";
    run.arguments = {"30"};
    run.deadline = std::chrono::milliseconds(200);
    const RunResult result = runProgram(run);
    EXPECT_TRUE(result.bStarted);
    EXPECT_TRUE(result.bTimedOut);
    EXPECT_EQ(result.status(), -1);
}

TEST_F(ProcessTest, LauncherPassesTheStatusOnAndKillsAtItsDeadline) {
    ProgramRun run;
    run.program = ORBEX_LAUNCH;
    run.arguments = {"--pid-file", "pid.txt", "--stdout", "out.txt", "A=1", "--", "sh", "-c", "echo $A; exit 5"};
    EXPECT_EQ(runProgram(run).status(), 5);
    EXPECT_EQ(readText("out.txt"), "1\n");
    EXPECT_GT(std::stoi(readText("pid.txt")), 0);

    run.arguments = {"--deadline", "0.2", "--", "sleep", "30"};
    EXPECT_EQ(runProgram(run).status(), 124);
}

} // namespace
} // namespace orbex::test
