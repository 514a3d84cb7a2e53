// The frame-rate measurement and the mode machine, against the virtual clock.
#include <algorithm>

#include "base/settings.h"
#include "music/music.h"
#include "picture/pictures.h"
#include "picture/pixelformat.h"
#include "platform/bass.h"
#include "platform/clock.h"
#include "platform/headless/headless.h"
#include "platform/testing.h"
#include "present/frame.h"
#include "present/input.h"
#include "shell/assets.h"
#include "shell/startup.h"
#include "shell/windowproc.h"
#include "support/page_files.h"
#include "text/archive.h"

namespace orbex::test {
namespace {

constexpr DWORD CLOCK_START = 5 * 3600 * 1000;
constexpr int PADDING = 8;

class FrameTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        useVirtualClock(CLOCK_START, 20);
        picIntro.fill(0x11);
        picBackground.fill(0x22);
        picBackgroundCopy.fill(0x22);
        picOutro.fill(0x33);
        frame = TestFrame(24, PADDING);
        // The pointer stays off the article: bMouseOn is 1 and the headless
        // pointer rests at (0, 0).
    }

    // One frame, then the time a flip takes.
    void step(DWORD ms = 20) {
        drawFrame(frame.locked());
        advanceVirtualClock(ms);
    }

    int framesUntil(std::uint8_t mode, int limit) {
        for (int n = 1; n <= limit; ++n) {
            step();
            if (ViewerMode == mode)
                return n;
        }
        return -1;
    }

    // Whether the whole 640x480 area holds `value` and the row padding is untouched.
    bool frameHolds(std::uint8_t value) const {
        for (int y = 0; y < 480; ++y) {
            auto row = frame.pixels.begin() + y * frame.pitch;
            if (std::any_of(row, row + 1920, [&](std::uint8_t b) { return b != value; }) ||
                std::any_of(row + 1920, row + frame.pitch, [](std::uint8_t b) { return b != 0xAB; }))
                return false;
        }
        return true;
    }

    void markPadding() {
        for (int y = 0; y < 480; ++y)
            std::fill_n(frame.pixels.begin() + y * frame.pitch + 640 * frame.bytes, PADDING, 0xAB);
    }

    // A left-button press as the window procedure takes it.
    static void press() { viewerWindowProc(nullptr, WM_LBUTTONDOWN, 1, 0); }

    TestFrame frame{24};
};

TEST_F(FrameTest, WindowClosesOnlyAfterMoreThanOneSecond) {
    step();
    // The clock counts from system start: the first frame closes a window at once.
    EXPECT_EQ(dwWindowCount, 1u);
    EXPECT_EQ(dwFrames, 0.0f);
    EXPECT_EQ(dwWindowStart, CLOCK_START);
    EXPECT_EQ(dwWindowFrames, 0u);
    for (int i = 0; i < 50; ++i)
        step();
    // 50 frames later exactly 1000 ms have passed: still open.
    EXPECT_EQ(dwWindowCount, 1u);
    EXPECT_EQ(dwWindowFrames, 50u);
    step();
    // The closing frame counts in its window: 51 frames in 1020 ms.
    EXPECT_EQ(dwWindowCount, 2u);
    EXPECT_EQ(dwFrames, 50.0f);
    EXPECT_EQ(dwWindowFrames, 0u);
    EXPECT_EQ(dwTotalFrames, 52u);
}

TEST_F(FrameTest, RateIsAWholeNumberTruncated) {
    step(7);
    int n = 0;
    while (dwWindowCount == 1 && n < 1000) {
        step(7);
        ++n;
    }
    // 143 frames in 1001 ms.
    EXPECT_EQ(n, 143);
    EXPECT_EQ(dwFrames, 142.0f);
}

TEST_F(FrameTest, IntroEndsAfterSixWindowsAndThatFrameIsAPage) {
    markPadding();
    step();
    EXPECT_TRUE(frameHolds(0x11));
    EXPECT_EQ(framesUntil(MODE_VIEWING, 400), 255);
    EXPECT_EQ(dwWindowCount, 6u);
    EXPECT_FLOAT_EQ(fScrollStep, 0.4f);
    // Drawn as an article page already: background, nothing of the start picture.
    EXPECT_EQ(frame.pixel(300, 100), 0x222222u);
    EXPECT_EQ(frame.pixels[static_cast<std::size_t>(479 * frame.pitch + 1920)], 0xAB);
}

TEST_F(FrameTest, ScrollStepAtSixtyFrames) {
    dwFrames = 60.0f;
    dwWindowCount = 6;
    dwWindowStart = CLOCK_START;
    step();
    EXPECT_EQ(ViewerMode, MODE_VIEWING);
    EXPECT_EQ(fScrollStep, 20.0f / 60.0f);
}

TEST_F(FrameTest, PressBeforeTheFirstRealRateDoesNotEndTheIntro) {
    press();
    step();
    // The first frame closes a window with no rate yet; the press, unseen
    // until now, stays, but a rate of 0 ends no intro.
    EXPECT_EQ(dwWindowCount, 1u);
    EXPECT_EQ(bLeftButton, 1);
    EXPECT_EQ(ViewerMode, MODE_INTRO);
    // Held through the next window: the measurement clears it before the test.
    for (int i = 0; i < 51; ++i)
        step();
    EXPECT_EQ(dwWindowCount, 2u);
    EXPECT_EQ(dwFrames, 50.0f);
    EXPECT_EQ(bLeftButton, 0);
    EXPECT_EQ(ViewerMode, MODE_INTRO);
    // A press after that ends the intro in the next frame.
    press();
    step();
    EXPECT_EQ(ViewerMode, MODE_VIEWING);
    EXPECT_EQ(dwWindowCount, 2u);
}

TEST_F(FrameTest, PressJustBeforeAWindowClosesIsStillSeen) {
    // The end picture without music waits for a press. A click that comes
    // in just before the frame that closes a window is seen by that frame.
    failSound(SoundOp::GetVolume, -1, 1000);
    ViewerMode = MODE_OUTRO;
    step();
    for (int i = 0; i < 50; ++i)
        step();
    ASSERT_EQ(dwWindowCount, 1u);
    press();
    step();
    EXPECT_EQ(dwWindowCount, 2u);
    EXPECT_EQ(bQuitRequest, 1);
}

TEST_F(FrameTest, PressJustBeforeAWindowClosesStillFollowsALink) {
    loadMarkerFont();
    ViewerMode = MODE_VIEWING;
    const std::string text = articleLink("4", "0", 0x102030, 0x405060, "Go");
    std::copy(text.begin(), text.end(), szText.begin());
    ++dwSelections;
    nLineCount = 100;
    nArticle = 3;
    bMouseOn = 0;
    nMouseX = 20;
    nMouseY = 214;
    step();
    for (int i = 0; i < 50; ++i)
        step();
    ASSERT_EQ(dwWindowCount, 1u);
    press();
    step();
    EXPECT_EQ(dwWindowCount, 2u);
    EXPECT_EQ(bLinkTaken, 1);
    EXPECT_EQ(nArticle, 4);
}

TEST_F(FrameTest, SecondPressOfADoubleClickIsNotClearedWithTheFirst) {
    ViewerMode = MODE_VIEWING;
    bMouseOn = 0;
    nMouseX = 300;
    nMouseY = 300;
    for (int i = 0; i < 50; ++i)
        step();
    press();
    step();
    // Released and pressed again before the frame that closes the window.
    viewerWindowProc(nullptr, WM_LBUTTONUP, 0, 0);
    press();
    step();
    EXPECT_EQ(dwWindowCount, 2u);
    EXPECT_EQ(bLeftButton, 1);
}

TEST_F(FrameTest, SeenPressStopsCountingAtTheNextWindowInEveryMode) {
    for (std::uint8_t mode : {MODE_INTRO, MODE_VIEWING, MODE_OUTRO}) {
        SCOPED_TRACE(static_cast<int>(mode));
        resetViewer();
        useVirtualClock(CLOCK_START, 20);
        failSound(SoundOp::GetVolume, -1, 1000);
        bMouseOn = 0;
        nMouseX = 300;
        nMouseY = 300;
        ViewerMode = mode;
        step();
        press();
        bLinkTaken = 1;
        // Held: seen by the frames of the open window, let go when it closes.
        for (int i = 0; i < 49; ++i)
            step();
        EXPECT_EQ(bLeftButton, 1);
        step();
        EXPECT_EQ(dwWindowCount, 1u);
        step();
        EXPECT_EQ(dwWindowCount, 2u);
        EXPECT_EQ(bLeftButton, 0);
        EXPECT_EQ(bLinkTaken, 0);
    }
}

TEST_F(FrameTest, OutroEndsAtVolumeZeroOrOnAPress) {
    BASS_Init(-1, 44100, 0, nullptr);
    setSoundVolume(0);
    markPadding();
    ViewerMode = MODE_OUTRO;
    step();
    EXPECT_EQ(bQuitRequest, 1);
    EXPECT_TRUE(frameHolds(0x33));
    // There is no way back, and frames go on in this mode.
    step();
    EXPECT_EQ(ViewerMode, MODE_OUTRO);
}

TEST_F(FrameTest, OutroFadeCountsDown) {
    BASS_Init(-1, 44100, 0, nullptr);
    setSoundVolume(5);
    ViewerMode = MODE_OUTRO;
    dwWindowStart = CLOCK_START; // no window closes meanwhile
    for (int frameNo = 1; frameNo <= 4; ++frameNo) {
        step();
        EXPECT_EQ(bQuitRequest, 0) << frameNo;
    }
    step();
    EXPECT_EQ(bQuitRequest, 1);
}

TEST_F(FrameTest, OutroWithoutMusicWaitsForAPress) {
    failSound(SoundOp::GetVolume, -1, 1000);
    ViewerMode = MODE_OUTRO;
    for (int i = 0; i < 120; ++i)
        step();
    EXPECT_EQ(bQuitRequest, 0);
    press();
    step();
    EXPECT_EQ(bQuitRequest, 1);
}

TEST_F(FrameTest, F12DuringTheIntroGoesToTheOutro) {
    step();
    viewerWindowProc(nullptr, WM_KEYDOWN, VK_F12, 0);
    BASS_Init(-1, 44100, 0, nullptr);
    setSoundVolume(0);
    step();
    EXPECT_EQ(frame.pixel(5, 5), 0x333333u);
    EXPECT_EQ(bQuitRequest, 1);
}

TEST_F(FrameTest, ViewingFrameLaysOutWithThePreviousPointerThenReadsIt) {
    loadMarkerFont();
    ViewerMode = MODE_VIEWING;
    dwWindowStart = CLOCK_START;
    const std::uint32_t normal = 0x102030, hover = 0x405060;
    const std::string text = "AB" + articleLink("4", "0", normal, hover, "Go");
    std::copy(text.begin(), text.end(), szText.begin());
    ++dwSelections;
    nLineCount = 100;
    nArticle = 1;
    nMouseX = 40;
    nMouseY = 214;
    step();
    auto cells = readCells(frame.pixels.data(), frame.pitch, 3, 0, 0x222222);
    EXPECT_EQ(colourAt(cells, 32, 206), hover);
    // The pointer is read after the page: the headless pointer is at (0, 0).
    EXPECT_EQ(nMouseX, 0);
    EXPECT_EQ(nMouseY, 0);
    // The scroll bar went into the background for the next frame.
    EXPECT_EQ(frame.pixel(638, 210), 0x222222u);
    step();
    EXPECT_EQ(frame.pixel(638, 210), rgb(100, 50, 0));
    cells = readCells(frame.pixels.data(), frame.pitch, 3, 0, 0x222222);
    EXPECT_EQ(colourAt(cells, 32, 206), normal);
}

TEST_F(FrameTest, EdgeScrollingComesFirst) {
    ViewerMode = MODE_VIEWING;
    dwWindowStart = CLOCK_START;
    dwFrames = 50.0f;
    fScrollStep = 0.5f;
    nLineCount = 100;
    nMouseY = 470;
    bMouseOn = 0;
    step();
    EXPECT_EQ(ScrollPosition, 0.5f);
}

TEST_F(FrameTest, SixteenBitCopiesTakeThePackedRows) {
    frame = TestFrame(16, PADDING);
    markPadding();
    for (std::size_t i = 0; i < picIntro.size(); ++i)
        picIntro[i] = i < PACKED_SIZE ? 0x44 : 0x55;
    step();
    for (int y = 0; y < 480; ++y) {
        ASSERT_EQ(frame.pixel(0, y), 0x4444u);
        ASSERT_EQ(frame.pixel(639, y), 0x4444u);
        ASSERT_EQ(frame.pixels[static_cast<std::size_t>(y * frame.pitch + 1280)], 0xAB);
    }
    // Any other depth copies nothing.
    frame = TestFrame(24);
    SCREENCOLORS = 8;
    step();
    EXPECT_EQ(frame.pixel(10, 10), 0u);
}

} // namespace
} // namespace orbex::test
