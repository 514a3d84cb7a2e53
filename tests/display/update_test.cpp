// Presenting a frame: the lock loop and its log lines, the skipped frame, the
// flip loop, and a surface lost at the lock against one lost at the flip.
#include <ostream>
#include <string>
#include <vector>

#include "base/settings.h"
#include "common/geometry.h"
#include "display/display.h"
#include "display/update.h"
#include "picture/pictures.h"
#include "platform/headless/headless.h"
#include "platform/testing.h"
#include "present/frame.h"
#include "shell/assets.h"
#include "shell/startup.h"
#include "shell/windowproc.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

using Lines = std::vector<std::string>;

const Lines RESTORED{"restoreAll", "Primary OK", "Back OK", "Offscreen OK"};

class UpdateTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        ASSERT_EQ(doInit(nullptr, SW_SHOWDEFAULT, viewerWindowProc, reportInitFailure), 1);
        // Only the frames' own lines from here on.
        bLogOn = 1;
    }
    // drawFrame counts every frame it draws.
    static std::uint32_t framesDrawn() { return dwTotalFrames; }
};

TEST_F(UpdateTest, DrawsAndFlipsOneFrame) {
    updateFrame();
    EXPECT_EQ(framesDrawn(), 1u);
    EXPECT_EQ(flipCount(), 1u);
    EXPECT_FALSE(std::filesystem::exists("orbex.log"));
}

TEST_F(UpdateTest, LostAtLockIsRestoredAndTheFrameStillShown) {
    loseSurfaces();
    updateFrame();
    EXPECT_EQ(logLines(), RESTORED);
    EXPECT_EQ(framesDrawn(), 1u);
    EXPECT_EQ(flipCount(), 1u);
}

TEST_F(UpdateTest, LockReportedLostOnceIsRestoredAndRetried) {
    failDisplay(DisplayOp::LockBack, DDERR_SURFACELOST);
    updateFrame();
    EXPECT_EQ(logLines(), RESTORED);
    EXPECT_EQ(framesDrawn(), 1u);
    EXPECT_EQ(flipCount(), 1u);
}

TEST_F(UpdateTest, LockStillDrawingIsAskedAgain) {
    failDisplay(DisplayOp::LockBack, DDERR_WASSTILLDRAWING, 5);
    updateFrame();
    EXPECT_FALSE(std::filesystem::exists("orbex.log"));
    EXPECT_EQ(framesDrawn(), 1u);
    EXPECT_EQ(flipCount(), 1u);
}

TEST_F(UpdateTest, BusyLockSkipsTheWholeFrameEveryTime) {
    failDisplay(DisplayOp::LockBack, DDERR_SURFACEBUSY, 2);
    std::uint32_t clock = dwWindowStart;
    updateFrame();
    updateFrame();
    const Lines failure{"Lock returned 2289435054/OK is 0", "DDERR_SURFACEBUSY", "Override"};
    Lines twice = failure;
    twice.insert(twice.end(), failure.begin(), failure.end());
    EXPECT_EQ(logLines(), twice);
    EXPECT_EQ(framesDrawn(), 0u);
    EXPECT_EQ(dwWindowStart, clock);
    EXPECT_EQ(flipCount(), 0u);

    // Nothing was left locked: the next call draws and flips.
    updateFrame();
    EXPECT_EQ(framesDrawn(), 1u);
    EXPECT_EQ(flipCount(), 1u);
}

struct LockFailure {
    const char *name;
    HRESULT code;
    Lines log;
};

void PrintTo(const LockFailure &c, std::ostream *os) { *os << c.name; }

class LockFailureTest : public UpdateTest, public ::testing::WithParamInterface<LockFailure> {};

TEST_P(LockFailureTest, LogsTheCodeAndSkips) {
    failDisplay(DisplayOp::LockBack, GetParam().code);
    updateFrame();
    EXPECT_EQ(logLines(), GetParam().log);
    EXPECT_EQ(framesDrawn(), 0u);
    EXPECT_EQ(flipCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, LockFailureTest,
    ::testing::Values(LockFailure{"InvalidObject",
                                  DDERR_INVALIDOBJECT,
                                  {"Lock returned 2289434754/OK is 0", "DDERR_INVALIDOBJECT", "Override"}},
                      LockFailure{"InvalidParams",
                                  DDERR_INVALIDPARAMS,
                                  {"Lock returned 2147942487/OK is 0", "DDERR_INVALIDPARAMS", "Override"}},
                      LockFailure{"Unknown", DDERR_GENERIC, {"Lock returned 2147500037/OK is 0", "Override"}},
                      LockFailure{"PositiveUnknown", 7, {"Lock returned 7/OK is 0", "Override"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(UpdateTest, FailedRestoreAtLockIsTheLoggedError) {
    loseSurfaces();
    failDisplay(DisplayOp::RestorePrimary, DDERR_SURFACELOST);
    updateFrame();
    EXPECT_EQ(logLines(), (Lines{"restoreAll", "Lock returned 2289435074/OK is 0", "DDERR_SURFACELOST", "Override"}));
    EXPECT_EQ(framesDrawn(), 0u);
    EXPECT_EQ(flipCount(), 0u);

    std::filesystem::remove("orbex.log");
    failDisplay(DisplayOp::RestoreBack, DDERR_GENERIC);
    updateFrame();
    EXPECT_EQ(logLines(), (Lines{"restoreAll", "Primary OK", "Lock returned 2147500037/OK is 0", "Override"}));
    EXPECT_EQ(framesDrawn(), 0u);
}

TEST_F(UpdateTest, LostAtFlipIsRestoredButNotFlippedAgain) {
    failDisplay(DisplayOp::FlipPrimary, DDERR_SURFACELOST);
    updateFrame();
    EXPECT_EQ(logLines(), RESTORED);
    EXPECT_EQ(framesDrawn(), 1u);
    EXPECT_EQ(flipCount(), 0u);

    updateFrame();
    EXPECT_EQ(logLines(), RESTORED);
    EXPECT_EQ(framesDrawn(), 2u);
    EXPECT_EQ(flipCount(), 1u);
}

TEST_F(UpdateTest, FlipStillDrawingIsRepeated) {
    failDisplay(DisplayOp::FlipPrimary, DDERR_WASSTILLDRAWING, 4);
    updateFrame();
    EXPECT_EQ(framesDrawn(), 1u);
    EXPECT_EQ(flipCount(), 1u);
}

TEST_F(UpdateTest, OtherFlipFailureIsIgnored) {
    failDisplay(DisplayOp::FlipPrimary, DDERR_GENERIC);
    updateFrame();
    EXPECT_FALSE(std::filesystem::exists("orbex.log"));
    EXPECT_EQ(flipCount(), 0u);
    updateFrame();
    EXPECT_EQ(flipCount(), 1u);
}

TEST_F(UpdateTest, AfterQuitRequestEveryFrameWarnsAndIsStillShown) {
    bQuitRequest = 1;
    updateFrame();
    updateFrame();
    const std::string warning = "\r\n!!!updateFrame A F T E R shutdown!!!\r\n";
    EXPECT_EQ(readText("orbex.log"), warning + warning);
    EXPECT_EQ(framesDrawn(), 2u);
    EXPECT_EQ(flipCount(), 2u);
}

TEST_F(UpdateTest, WarningComesBeforeTheFramesOtherLines) {
    bQuitRequest = 1;
    failDisplay(DisplayOp::LockBack, DDERR_SURFACEBUSY);
    updateFrame();
    EXPECT_EQ(logLines(), (Lines{"", "!!!updateFrame A F T E R shutdown!!!", "Lock returned 2289435054/OK is 0",
                                 "DDERR_SURFACEBUSY", "Override"}));
}

TEST_F(UpdateTest, FrameUsesThePitchOfTheLock) {
    resetViewer();
    setPitchPadding(24);
    bLogOn = 0;
    ASSERT_EQ(doInit(nullptr, SW_SHOWDEFAULT, viewerWindowProc, reportInitFailure), 1);
    // A recognisable start picture: row r's first pixel holds r.
    for (std::size_t r = 0; r < 480; ++r)
        picIntro[r * 640 * 3] = static_cast<std::uint8_t>(r);
    updateFrame();
    const FrameView frame = shownFrame();
    ASSERT_EQ(frame.pitch, 640 * 3 + 24);
    for (std::size_t r = 0; r < 480; r += 37)
        EXPECT_EQ(frame.pixels[r * static_cast<std::size_t>(frame.pitch)], static_cast<std::uint8_t>(r)) << r;
}

TEST_F(UpdateTest, NothingIsPresentedAfterRelease) {
    releaseDisplayObjects();
    updateFrame();
    EXPECT_EQ(framesDrawn(), 0u);
    EXPECT_EQ(flipCount(), 0u);
}

} // namespace
} // namespace orbex::test
