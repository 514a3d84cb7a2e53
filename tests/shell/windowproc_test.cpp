// The viewer window's procedure: scroll keys with their float and integer
// comparisons, keypad, buttons, switches, the quit request and the shutdown.
#include <string>

#include "base/config.h"
#include "base/settings.h"
#include "common/geometry.h"
#include "display/display.h"
#include "platform/bass.h"
#include "platform/headless/headless.h"
#include "platform/testing.h"
#include "present/frame.h"
#include "present/input.h"
#include "shell/startup.h"
#include "shell/windowproc.h"
#include "support/viewer_test.h"
#include "text/archive.h"

namespace orbex::test {
namespace {

class WindowProcTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        WNDCLASSA wc{};
        wc.lpfnWndProc = viewerWindowProc;
        wc.lpszClassName = "ORBEX5TEST";
        ASSERT_TRUE(RegisterClassA(&wc));
        hwnd =
            CreateWindowExA(0, "ORBEX5TEST", "ORBEX 5", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
    }

    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return viewerWindowProc(hwnd, message, wParam, lParam);
    }
    void key(UINT code) { send(WM_KEYDOWN, code, 1); }

    // Dispatches everything queued; returns the number of close requests seen.
    int pumpUntilQuit() {
        MSG msg{};
        int closes = 0;
        for (int guard = 0; guard < 100 && GetMessageA(&msg, nullptr, 0, 0) != FALSE; ++guard) {
            closes += msg.message == WM_CLOSE ? 1 : 0;
            DispatchMessageA(&msg);
        }
        EXPECT_EQ(msg.message, WM_QUIT);
        return closes;
    }

    void writeMagazine() {
        std::string archive = "d\ncontents\n\x9E";
        for (int n = 2; n <= 4; ++n)
            archive += "xTitle " + std::to_string(n) + "\nAuthor\nText\n\x9E";
        writeFile(folder / "data" / "orbex.dat", archive);
        loadArchive();
        selectArticle(1);
        nArticle = 1;
    }

    HWND hwnd = nullptr;
};

TEST_F(WindowProcTest, PageUpComparesWithFourteen) {
    for (auto [from, to] : {std::pair{14.5f, -0.5f}, std::pair{14.0f, 0.0f}, std::pair{15.0f, 0.0f},
                            std::pair{30.0f, 15.0f}, std::pair{-3.0f, 0.0f}}) {
        ScrollPosition = from;
        key(VK_PRIOR);
        EXPECT_EQ(ScrollPosition, to) << from;
    }
}

TEST_F(WindowProcTest, PageDownStepsThenRestsAtTheLastWindow) {
    nLineCount = 100;
    ScrollPosition = 0.0f;
    for (float want : {15.0f, 30.0f, 45.0f, 60.0f, 75.0f, 85.0f, 85.0f}) {
        key(VK_NEXT);
        EXPECT_EQ(ScrollPosition, want);
    }
}

TEST_F(WindowProcTest, ShortArticleGoesNegativeAndOnlyHomeOrPageUpBringItBack) {
    nLineCount = 10;
    ScrollPosition = 0.0f;
    key(VK_NEXT);
    EXPECT_EQ(ScrollPosition, -5.0f);
    for (UINT k : {VK_END, VK_UP, VK_DOWN}) {
        key(k);
        EXPECT_EQ(ScrollPosition, -5.0f) << k;
    }
    key(VK_HOME);
    EXPECT_EQ(ScrollPosition, 0.0f);
    key(VK_NEXT);
    key(VK_PRIOR);
    EXPECT_EQ(ScrollPosition, 0.0f);
}

TEST_F(WindowProcTest, UpDownAndEndAtTheirBounds) {
    nLineCount = 40;
    ScrollPosition = 0.5f;
    key(VK_UP);
    EXPECT_EQ(ScrollPosition, -0.5f);
    ScrollPosition = 0.0f;
    key(VK_UP);
    EXPECT_EQ(ScrollPosition, 0.0f);
    ScrollPosition = 25.0f;
    key(VK_DOWN);
    EXPECT_EQ(ScrollPosition, 25.0f);
    ScrollPosition = 24.5f;
    key(VK_DOWN);
    EXPECT_EQ(ScrollPosition, 25.5f);
    ScrollPosition = 3.0f;
    key(VK_END);
    EXPECT_EQ(ScrollPosition, 25.0f);
    nLineCount = 15;
    ScrollPosition = 3.0f;
    key(VK_END);
    EXPECT_EQ(ScrollPosition, 3.0f);
}

TEST_F(WindowProcTest, KeypadMovesByTenAndMayRestPastAnEdge) {
    nMouseX = 5;
    key(VK_NUMPAD4);
    EXPECT_EQ(nMouseX, -5);
    key(VK_NUMPAD4);
    EXPECT_EQ(nMouseX, -5);
    nMouseX = 635;
    key(VK_NUMPAD6);
    EXPECT_EQ(nMouseX, 645);
    key(VK_NUMPAD6);
    EXPECT_EQ(nMouseX, 645);
    nMouseY = 475;
    key(VK_NUMPAD2);
    EXPECT_EQ(nMouseY, 485);
    key(VK_NUMPAD2);
    EXPECT_EQ(nMouseY, 485);
    nMouseY = 3;
    key(VK_NUMPAD8);
    EXPECT_EQ(nMouseY, -7);
    key(VK_NUMPAD8);
    EXPECT_EQ(nMouseY, -7);
}

TEST_F(WindowProcTest, PointerIsReadOnlyWithTheMouseOn) {
    std::string ignored;
    ASSERT_TRUE(loadScript("move 123 234\n", ignored));
    MSG msg{};
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    bMouseOn = 0;
    nMouseX = 7;
    readPointerPosition();
    EXPECT_EQ(nMouseX, 7);
    bMouseOn = 1;
    readPointerPosition();
    EXPECT_EQ(nMouseX, 123);
    EXPECT_EQ(nMouseY, 234);
}

TEST_F(WindowProcTest, RightButtonReturnsToContentsThenStartsTheOutro) {
    writeMagazine();
    ViewerMode = MODE_VIEWING;
    fContentsScroll = 7.0f;
    nArticle = 4;
    selectArticle(4);
    send(WM_RBUTTONDOWN, 2);
    EXPECT_EQ(nArticle, 1);
    EXPECT_EQ(ScrollPosition, 7.0f);
    EXPECT_EQ(ViewerMode, MODE_VIEWING);
    send(WM_RBUTTONDOWN, 2);
    EXPECT_EQ(ViewerMode, MODE_OUTRO);
    EXPECT_EQ(nArticle, 1);

    ViewerMode = MODE_INTRO;
    send(WM_RBUTTONDOWN, 2);
    EXPECT_EQ(ViewerMode, MODE_OUTRO);
}

TEST_F(WindowProcTest, SpaceIsAPressThatOnlyTheButtonReleaseEnds) {
    key(VK_SPACE);
    EXPECT_EQ(bLeftButton, 1);
    bLinkTaken = 1;
    send(WM_LBUTTONDOWN, 1);
    EXPECT_EQ(bLinkTaken, 1);
    send(WM_LBUTTONUP);
    EXPECT_EQ(bLeftButton, 0);
    EXPECT_EQ(bLinkTaken, 0);
}

TEST_F(WindowProcTest, SwitchesAndPageKeys) {
    writeMagazine();
    key(VK_F5);
    EXPECT_EQ(bPointerOn, 0);
    key(VK_F5);
    EXPECT_EQ(bPointerOn, 1);
    bPointerOn = 7;
    key(VK_F5);
    EXPECT_EQ(bPointerOn, 1);
    key(VK_F9);
    EXPECT_EQ(bShowFrameRate, 1);
    bShowFrameRate = 7;
    key(VK_F9);
    EXPECT_EQ(bShowFrameRate, 0);

    key(VK_F1);
    EXPECT_EQ(nArticle, 2);
    EXPECT_EQ(std::string(szTitle.data()), "Title 2");
    key(VK_F2);
    EXPECT_EQ(readText(folder / "save.txt"), "Text\r\n");

    // Keys outside the table change nothing.
    ScrollPosition = 3.0f;
    key(0x41);
    key(VK_LEFT);
    EXPECT_EQ(ScrollPosition, 3.0f);
    EXPECT_EQ(ViewerMode, MODE_INTRO);
    key(VK_F12);
    EXPECT_EQ(ViewerMode, MODE_OUTRO);
}

TEST_F(WindowProcTest, ActivationAndPointerShape) {
    send(WM_ACTIVATEAPP, 1);
    EXPECT_EQ(bActive, 1);
    send(WM_ACTIVATEAPP, 0);
    EXPECT_EQ(bActive, 0);
    // The system pointer stays as it is unless the viewer draws its own.
    for (std::uint8_t choice : {0, 2, 255}) {
        nPointerChoice = choice;
        EXPECT_EQ(send(WM_SETCURSOR, 0, LPARAM{WM_MOUSEMOVE} << 16 | 1), 1);
        EXPECT_FALSE(headless::systemCursorHidden()) << int{choice};
    }
    nPointerChoice = 1;
    EXPECT_EQ(send(WM_SETCURSOR, 0, LPARAM{WM_MOUSEMOVE} << 16 | 1), 1);
    EXPECT_TRUE(headless::systemCursorHidden());
}

TEST_F(WindowProcTest, F1CountsAsArticleTwoEvenWithoutAHeader) {
    // Selecting a header-less article makes it the contents page, but F1
    // sets the number 2 after the selection: the right button then leads
    // back to the contents page instead of ending the viewer.
    writeFile(folder / "data" / "orbex.dat", std::string("d\ncontents\n\x9E"
                                                         "d\nhelp without header\n\x9E"));
    loadArchive();
    selectArticle(1);
    nArticle = 1;
    ViewerMode = MODE_VIEWING;
    key(VK_F1);
    EXPECT_EQ(nArticle, 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(szText.data())), "help without header\n");
    send(WM_RBUTTONDOWN, 2);
    EXPECT_EQ(nArticle, 1);
    EXPECT_EQ(ViewerMode, MODE_VIEWING);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(szText.data())), "contents\n");
}

TEST_F(WindowProcTest, NoCloseRequestWithoutTheQuitFlag) {
    // A script still running keeps the backend from closing on its own.
    std::string ignored;
    ASSERT_TRUE(loadScript("frames 100\n", ignored));
    send(WM_NULL);
    send(WM_KEYDOWN, VK_F9);
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(WindowProcTest, ShutdownSequenceRunsOnceWhileRequestsKeepComing) {
    bLogOn = 1;
    bQuitRequest = 1;
    send(WM_NULL);
    send(WM_NULL);
    send(WM_KEYDOWN, VK_F9);
    // Three requests queued; the first destroys the window, and its own
    // message posts a fourth. The rest are dropped with the window.
    EXPECT_EQ(pumpUntilQuit(), 1);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(readText(folder / "orbex.log"), "Closing Engine\r\nClosing DirectDraw\r\nQuit viewer\r\n");
    // The music was stopped and freed once, on the way.
    EXPECT_EQ(soundCalls(), (std::vector<std::string>{"BASS_Stop", "BASS_MusicFree 0"}));
    // Messages for the dead window post nothing.
    send(WM_NULL);
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

} // namespace
} // namespace orbex::test
