// The orbex binary's choice of backend (ORBEX_VIDEO) from the table of the
// backends it was built with, and a start that stops when the chosen one
// cannot run.
#include <string>

#include "support/viewer_test.h"

namespace orbex::test {
namespace {

class BackendChoice : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        writeFile(folder / "data" / "orbex.dat", std::string("1\n\x9E"));
    }

    // The viewer started in the test's magazine with these variables; its
    // standard error, with the status in front.
    std::string start(const std::vector<std::string> &environment) const {
        ProgramRun run;
        run.folder = folder;
        run.environment = environment;
        RunResult result = runProgram(run);
        return std::to_string(result.status()) + " " + readText(folder / "stderr.txt");
    }
};

TEST_F(BackendChoice, AnUnknownNameIsRefusedWithTheNamesOfTheBuildsBackends) {
    EXPECT_EQ(start({"ORBEX_VIDEO=sdl"}), "1 orbex: ORBEX_VIDEO must be fullscreen, window or headless, not \"sdl\"\n");
    EXPECT_EQ(start({"ORBEX_VIDEO="}), "1 orbex: ORBEX_VIDEO must be fullscreen, window or headless, not \"\"\n");
}

#ifdef ORBEX_HAVE_SDL
TEST_F(BackendChoice, FullScreenIsTheDefaultAndAWindowTooNeedsADisplay) {
    const std::string noDisplay = "1 orbex: no display can be opened (";
    for (const char *video : {"", "ORBEX_VIDEO=fullscreen", "ORBEX_VIDEO=window"}) {
        SCOPED_TRACE(video);
        std::vector<std::string> environment{"SDL_VIDEODRIVER=no-such-driver"};
        if (*video != 0)
            environment.emplace_back(video);
        std::string said = start(environment);
        EXPECT_EQ(said.rfind(noDisplay, 0), 0u) << said;
        EXPECT_NE(said.find("set ORBEX_VIDEO=headless to run without one\n"), std::string::npos) << said;
    }
}
#endif

TEST_F(BackendChoice, AHeadlessStartStopsAtAClockOrScriptItCannotUse) {
    EXPECT_EQ(start({"ORBEX_VIDEO=headless", "ORBEX_CLOCK=fast"}),
              "1 orbex: ORBEX_CLOCK must be step:MS with MS above 0, not \"fast\"\n");
    EXPECT_EQ(start({"ORBEX_VIDEO=headless", "ORBEX_SCRIPT=missing.txt"}), "1 orbex: cannot read script missing.txt\n");
    // Without a script there is no input: the window closes at once, after
    // the messages of this magazine without pictures.
    EXPECT_EQ(start({"ORBEX_VIDEO=headless", "ORBEX_CLOCK=step:20"}).substr(0, 2), "0 ");
}

} // namespace
} // namespace orbex::test
