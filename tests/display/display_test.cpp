// The viewer window and display set-up: the depth rule of orbex.cfg, the
// failure path after the window exists, restoring and releasing surfaces.
#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "base/settings.h"
#include "common/geometry.h"
#include "display/display.h"
#include "picture/pixelformat.h"
#include "platform/headless/headless.h"
#include "platform/testing.h"
#include "shell/startup.h"
#include "shell/windowproc.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

using Lines = std::vector<std::string>;

const std::string MODE_FAILED = "SetDisplayMode (SCREENWIDTH, SCREENHEIGHT, SCREENCOLORS) FAILED";
const std::string INIT_FAILED = "DirectDraw Init FAILED";
const std::string AUTO_BOX = "Versuchte zuerst 640*480*24bpp, danach 640*480*16bpp. Keine der Modies gefunden.";
const std::string EIGHT_BIT_BOX = "BETATESTERNACHRICHT: Derzeit ist leider noch keine 8 BIT version verf\xFC"
                                  "gbar... wir arbeiten mit hochdruck daran. Fragen, Kritik, Anregung an ";
const std::string DEPTH24_BOX = "640*480*24bpp wird NICHT unterst\xFCtzt. Setzten sie die Farbtiefe im SETUP auf "
                                "16bpp oder auf Automatisch.";
const std::string DEPTH16_BOX =
    "640*480*16bpp (HighColor) wird nicht unterst\xFCtzt. Ihre Grafikkarte muss mindestens 1 MB Speicher haben um "
    "bei einer aufl\xF6sung von 640*480 Bildpunkten 16 bit Farben darzustellen. Wenn ihr Rechner allerdings diese "
    "Vorraussetzungen erf\xFCllt und es dennoch nicht funktioniert wenden sie sich bitte an ";

Lines modeCalls() {
    Lines modes;
    for (const auto &call : displayCalls())
        if (call.rfind("SetDisplayMode", 0) == 0)
            modes.push_back(call);
    return modes;
}

long countOf(const Lines &lines, const std::string &line) { return std::count(lines.begin(), lines.end(), line); }

// A box text that begins with prefix and goes on with contact details.
bool boxWithContact(const std::string &box, const std::string &prefix) {
    return box.size() > prefix.size() && box.compare(0, prefix.size(), prefix) == 0;
}

class DisplayTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        bLogOn = 1;
        // The failure path's shutdown stops the music; its box is not what
        // these tests are about.
        bMusicOn = 0;
    }
    static void writeDepthChoice(std::uint8_t choice) { writeFile("orbex.cfg", Bytes{1, choice, 1}); }
    static int start() { return doInit(nullptr, SW_SHOWDEFAULT, viewerWindowProc, reportInitFailure); }
};

// --- the depth rule -----------------------------------------------------

struct DepthCase {
    const char *name;
    int choice; // -1: no orbex.cfg
    std::vector<int> offered;
    int colours;
    int result;
    Lines modes; // SetDisplayMode calls, in order
    Lines boxes; // a trailing " " in an expected box means "contact details follow"
};

void PrintTo(const DepthCase &c, std::ostream *os) { *os << c.name; }

class DepthRuleTest : public DisplayTest, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(DepthRuleTest, SetsTheModeOrReportsIt) {
    const DepthCase &c = GetParam();
    if (c.choice >= 0)
        writeDepthChoice(static_cast<std::uint8_t>(c.choice));
    offerDepths(c.offered);

    EXPECT_EQ(start(), c.result);
    EXPECT_EQ(SCREENCOLORS, c.colours);
    EXPECT_EQ(modeCalls(), c.modes);

    const auto &boxes = headless::messageBoxes();
    ASSERT_EQ(boxes.size(), c.boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (c.boxes[i].back() == ' ')
            EXPECT_TRUE(boxWithContact(boxes[i], c.boxes[i])) << "box " << i << ": " << boxes[i];
        else
            EXPECT_EQ(boxes[i], c.boxes[i]) << "box " << i;
    }

    Lines log = logLines();
    if (c.result == 1) {
        EXPECT_EQ(log, (Lines{"doInit", "OFFscreen created"}));
        EXPECT_NE(pOffscreenSurface, nullptr);
    } else {
        // One log line for the rule, then the failure path's release, box,
        // destruction and the shutdown it runs.
        EXPECT_EQ(log, (Lines{"doInit", MODE_FAILED, "Closing Engine", "Closing DirectDraw", "Quit viewer"}));
        EXPECT_EQ(pDirectDraw, nullptr);
        EXPECT_FALSE(IsWindow(hViewerWindow));
    }
}

const Lines M24{"SetDisplayMode 640 480 24"};
const Lines M16{"SetDisplayMode 640 480 16"};
const Lines M24_16{"SetDisplayMode 640 480 24", "SetDisplayMode 640 480 16"};

INSTANTIATE_TEST_SUITE_P(
    Choices, DepthRuleTest,
    ::testing::Values(DepthCase{"NoFileIsAutomatic", -1, {16, 24}, 24, 1, M24, {}},
                      DepthCase{"Auto24", 1, {16, 24}, 24, 1, M24, {}},
                      DepthCase{"AutoFallsBackTo16", 1, {16}, 16, 1, M24_16, {}},
                      DepthCase{"AutoNeither", 1, {}, 16, 0, M24_16, {AUTO_BOX, EIGHT_BIT_BOX, INIT_FAILED}},
                      DepthCase{"Only24", 2, {16, 24}, 24, 1, M24, {}},
                      DepthCase{"Only24Without24", 2, {16}, 24, 0, M24, {DEPTH24_BOX, INIT_FAILED}},
                      DepthCase{"Only24WithNone", 2, {}, 24, 0, M24, {DEPTH24_BOX, INIT_FAILED}},
                      DepthCase{"Only16", 3, {16, 24}, 16, 1, M16, {}},
                      DepthCase{"Only16Without16", 3, {24}, 16, 0, M16, {DEPTH16_BOX, INIT_FAILED}},
                      DepthCase{"Seven16", 7, {16, 24}, 16, 1, M16, {}},
                      DepthCase{"SevenWithout16", 7, {24}, 16, 0, M16, {DEPTH16_BOX, INIT_FAILED}},
                      DepthCase{"Byte255", 255, {16, 24}, 16, 1, M16, {}},
                      DepthCase{"Byte255WithNone", 255, {}, 16, 0, M16, {DEPTH16_BOX, INIT_FAILED}},
                      DepthCase{"ZeroKeepsMode", 0, {}, 16, 1, {}, {}},
                      DepthCase{"ZeroKeepsModeOn24", 0, {16, 24}, 16, 1, {}, {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(DisplayTest, ShortConfigFileMeans16Only) {
    writeFile("orbex.cfg", Bytes{1});
    EXPECT_EQ(start(), 1);
    EXPECT_EQ(modeCalls(), M16);
    EXPECT_EQ(SCREENCOLORS, 16);
}

TEST_F(DisplayTest, ZeroTakesTheDesktopDepthButKeepsScreenColours) {
    writeDepthChoice(0);
    setDesktopDepth(24);
    ASSERT_EQ(start(), 1);
    EXPECT_EQ(SCREENCOLORS, 16);
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    ASSERT_EQ(pPrimarySurface->GetPixelFormat(&format), DD_OK);
    EXPECT_EQ(format.dwRGBBitCount, 24u);
}

// --- a good start -----------------------------------------------------------

TEST_F(DisplayTest, GoodStartMakesWindowModeAndSurfaces) {
    ASSERT_EQ(start(), 1);
    EXPECT_EQ(logLines(), (Lines{"doInit", "OFFscreen created"}));
    EXPECT_EQ(displayCalls(),
              (Lines{"DirectDrawCreate", "SetCooperativeLevel 17", "GetCaps", "SetDisplayMode 640 480 24",
                     "CreateSurface primary flags 0x21 caps 0x218 back 1", "GetAttachedSurface caps 0x4",
                     "CreateSurface offscreen flags 0x7 caps 0x40 640x480"}));
    EXPECT_TRUE(IsWindow(hViewerWindow));
    EXPECT_EQ(bActive, 1); // the window's activation arrives during the set-up
    EXPECT_NE(pDirectDraw, nullptr);
    EXPECT_NE(pPrimarySurface, nullptr);
    EXPECT_NE(pBackSurface, nullptr);
    EXPECT_NE(pOffscreenSurface, nullptr);
    EXPECT_TRUE(headless::messageBoxes().empty());
}

TEST_F(DisplayTest, NoLogWithoutTheLetter) {
    bLogOn = 0;
    offerDepths({});
    EXPECT_EQ(start(), 0);
    EXPECT_FALSE(std::filesystem::exists("orbex.log"));
}

// --- failures ---------------------------------------------------------------

struct StepFailure {
    const char *name;
    DisplayOp op;
    HRESULT code;
    bool objectMade; // the display object existed when the step failed
};

void PrintTo(const StepFailure &c, std::ostream *os) { *os << c.name; }

class StepFailureTest : public DisplayTest, public ::testing::WithParamInterface<StepFailure> {};

TEST_P(StepFailureTest, GoesThroughReportInitFailure) {
    const StepFailure &f = GetParam();
    failDisplay(f.op, f.code);

    EXPECT_EQ(start(), 0);
    EXPECT_EQ(headless::messageBoxes(), (Lines{INIT_FAILED}));
    EXPECT_EQ(logLines(), (Lines{"doInit", "Closing Engine", "Closing DirectDraw", "Quit viewer"}));
    EXPECT_NE(hViewerWindow, nullptr);
    EXPECT_FALSE(IsWindow(hViewerWindow));
    EXPECT_EQ(pDirectDraw, nullptr);
    EXPECT_EQ(pPrimarySurface, nullptr);
    EXPECT_EQ(pOffscreenSurface, nullptr);

    // Each object was given back once, although the shutdown released again.
    Lines calls = displayCalls();
    EXPECT_EQ(countOf(calls, "Release"), f.objectMade ? 1 : 0);
    EXPECT_LE(countOf(calls, "Release primary"), 1);
    EXPECT_EQ(countOf(calls, "Release back"), 0);

    // The destruction posted the quit message that ends the loop.
    MSG msg{};
    ASSERT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE), TRUE);
    EXPECT_EQ(msg.message, WM_QUIT);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, StepFailureTest,
    ::testing::Values(StepFailure{"Create", DisplayOp::Create, DDERR_GENERIC, false},
                      StepFailure{"CooperativeLevel", DisplayOp::SetCooperativeLevel, DDERR_NOEXCLUSIVEMODE, true},
                      StepFailure{"GetCaps", DisplayOp::GetCaps, DDERR_GENERIC, true},
                      StepFailure{"Primary", DisplayOp::CreatePrimary, DDERR_OUTOFMEMORY, true},
                      StepFailure{"BackBuffer", DisplayOp::GetAttachedSurface, DDERR_GENERIC, true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(DisplayTest, PrimaryFailureReleasesNoSurface) {
    failDisplay(DisplayOp::CreatePrimary, DDERR_OUTOFMEMORY);
    EXPECT_EQ(start(), 0);
    EXPECT_EQ(countOf(displayCalls(), "Release primary"), 0);
    EXPECT_EQ(displayCalls().back(), "Release");
}

TEST_F(DisplayTest, OffscreenFailureKeepsEverythingElse) {
    failDisplay(DisplayOp::CreateOffscreen, DDERR_OUTOFMEMORY);
    EXPECT_EQ(start(), 0);
    EXPECT_EQ(logLines(), (Lines{"doInit", "OFFscreen creation FAILED"}));
    EXPECT_TRUE(headless::messageBoxes().empty());
    EXPECT_TRUE(IsWindow(hViewerWindow));
    EXPECT_NE(pDirectDraw, nullptr);
    EXPECT_NE(pPrimarySurface, nullptr);
    EXPECT_NE(pBackSurface, nullptr);
    EXPECT_EQ(pOffscreenSurface, nullptr);
    EXPECT_EQ(countOf(displayCalls(), "Release"), 0);

    // Frames go on in that state, and a lost chain still comes back.
    loseSurfaces();
    EXPECT_EQ(restoreAll(), DD_OK);
    EXPECT_EQ(logLines(), (Lines{"doInit", "OFFscreen creation FAILED", "restoreAll", "Primary OK", "Back OK"}));
}

TEST_F(DisplayTest, NoWindowMeansSilentFailure) {
    failWindowCreation();
    EXPECT_EQ(start(), 0);
    EXPECT_EQ(hViewerWindow, nullptr);
    EXPECT_TRUE(headless::messageBoxes().empty());
    EXPECT_TRUE(displayCalls().empty());
    EXPECT_EQ(logLines(), (Lines{"doInit"}));
}

TEST_F(DisplayTest, ReportInitFailureReturnsZeroAndDestroys) {
    ASSERT_EQ(start(), 1);
    std::filesystem::remove("orbex.log");
    EXPECT_EQ(reportInitFailure(hViewerWindow), 0);
    EXPECT_EQ(headless::messageBoxes(), (Lines{INIT_FAILED}));
    EXPECT_FALSE(IsWindow(hViewerWindow));
    EXPECT_EQ(pDirectDraw, nullptr);
    EXPECT_EQ(logLines(), (Lines{"Closing Engine", "Closing DirectDraw", "Quit viewer"}));
}

// --- restoring and releasing ------------------------------------------------

class RestoreTest : public DisplayTest {
  protected:
    void SetUp() override {
        DisplayTest::SetUp();
        ASSERT_EQ(start(), 1);
        std::filesystem::remove("orbex.log");
        loseSurfaces();
    }
    static Lines restoreCalls() {
        Lines restores;
        for (const auto &call : displayCalls())
            if (call.rfind("Restore", 0) == 0)
                restores.push_back(call);
        return restores;
    }
};

TEST_F(RestoreTest, AllComeBack) {
    EXPECT_EQ(restoreAll(), DD_OK);
    EXPECT_EQ(logLines(), (Lines{"restoreAll", "Primary OK", "Back OK", "Offscreen OK"}));
    EXPECT_EQ(restoreCalls(), (Lines{"Restore primary", "Restore back", "Restore offscreen"}));
}

TEST_F(RestoreTest, PrimaryFailureStopsAtOnce) {
    failDisplay(DisplayOp::RestorePrimary, DDERR_SURFACELOST);
    EXPECT_EQ(restoreAll(), DDERR_SURFACELOST);
    EXPECT_EQ(logLines(), (Lines{"restoreAll"}));
    EXPECT_EQ(restoreCalls(), (Lines{"Restore primary"}));
}

TEST_F(RestoreTest, BackFailureIsReturned) {
    failDisplay(DisplayOp::RestoreBack, DDERR_GENERIC);
    EXPECT_EQ(restoreAll(), DDERR_GENERIC);
    EXPECT_EQ(logLines(), (Lines{"restoreAll", "Primary OK"}));
    EXPECT_EQ(restoreCalls(), (Lines{"Restore primary", "Restore back"}));
}

TEST_F(RestoreTest, OffscreenFailureDoesNotCount) {
    failDisplay(DisplayOp::RestoreOffscreen, DDERR_OUTOFMEMORY);
    EXPECT_EQ(restoreAll(), DD_OK);
    EXPECT_EQ(logLines(), (Lines{"restoreAll", "Primary OK", "Back OK"}));
}

TEST_F(DisplayTest, ReleaseTwiceReleasesOnce) {
    ASSERT_EQ(start(), 1);
    releaseDisplayObjects();
    releaseDisplayObjects();
    EXPECT_EQ(pDirectDraw, nullptr);
    EXPECT_EQ(pPrimarySurface, nullptr);
    EXPECT_EQ(pBackSurface, nullptr);
    EXPECT_EQ(pOffscreenSurface, nullptr);
    const Lines &calls = displayCalls();
    Lines releases(calls.end() - 3, calls.end());
    EXPECT_EQ(releases, (Lines{"Release primary", "Release offscreen", "Release"}));
    EXPECT_EQ(countOf(calls, "Release"), 1);
    EXPECT_EQ(countOf(calls, "Release primary"), 1);
    EXPECT_EQ(countOf(calls, "Release offscreen"), 1);
    // The window is left to its own destruction.
    EXPECT_TRUE(IsWindow(hViewerWindow));
}

TEST_F(DisplayTest, ReleaseWithoutDisplayDoesNothing) {
    releaseDisplayObjects();
    EXPECT_TRUE(displayCalls().empty());
}

} // namespace
} // namespace orbex::test
