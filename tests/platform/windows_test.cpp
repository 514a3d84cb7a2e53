// The message queue between the backends and the viewer: input comes in the
// order it was given, and a left-button release whose press no frame has
// drawn yet waits for one, so that a tap is a click.
#include <optional>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/testing.h"
#include "platform/windows.h"
#include "support/chain.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

std::vector<UINT> seen;

LRESULT recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP || message == WM_KEYDOWN || message == WM_RBUTTONDOWN)
        seen.push_back(message);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class MessageQueueTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        seen.clear();
        // A script still running: the backend neither closes the window nor adds input.
        std::string ignored;
        ASSERT_TRUE(loadScript("frames 100000\n", ignored));
        WNDCLASSA wc{};
        wc.lpfnWndProc = recordingProc;
        wc.lpszClassName = "queue";
        ASSERT_TRUE(RegisterClassA(&wc));
        hwnd = CreateWindowExA(0, "queue", "ORBEX 5", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        chain.emplace(16, hwnd);
    }

    void TearDown() override {
        chain.reset();
        ViewerTest::TearDown();
    }

    // What the message loop does between two looks at the queue.
    HRESULT drawFrame() { return chain->flip(); }

    // Hands every message the loop would take now to the procedure.
    std::vector<UINT> dispatchWaiting() {
        seen.clear();
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE)
            DispatchMessageA(&msg);
        return seen;
    }

    HWND hwnd = nullptr;
    std::optional<Chain> chain;
};

using Messages = std::vector<UINT>;

TEST_F(MessageQueueTest, TapWaitsForAFrameAndInputBehindItKeepsItsPlace) {
    postInputMessage(WM_LBUTTONDOWN, 1, 0);
    postInputMessage(WM_LBUTTONUP, 0, 0);
    postInputMessage(WM_KEYDOWN, VK_F5, 1);
    postInputMessage(WM_RBUTTONDOWN, 2, 0);
    EXPECT_EQ(dispatchWaiting(), Messages{WM_LBUTTONDOWN});
    ASSERT_EQ(drawFrame(), DD_OK);
    EXPECT_EQ(dispatchWaiting(), (Messages{WM_LBUTTONUP, WM_KEYDOWN, WM_RBUTTONDOWN}));
}

TEST_F(MessageQueueTest, ReleaseOfAPressAFrameHasSeenIsNotHeld) {
    postInputMessage(WM_LBUTTONDOWN, 1, 0);
    EXPECT_EQ(dispatchWaiting(), Messages{WM_LBUTTONDOWN});
    ASSERT_EQ(drawFrame(), DD_OK);
    postInputMessage(WM_LBUTTONUP, 0, 0);
    postInputMessage(WM_KEYDOWN, VK_F9, 1);
    EXPECT_EQ(dispatchWaiting(), (Messages{WM_LBUTTONUP, WM_KEYDOWN}));
    // A release without any press, and keys, never wait.
    postInputMessage(WM_LBUTTONUP, 0, 0);
    postInputMessage(WM_KEYDOWN, VK_SPACE, 1);
    EXPECT_EQ(dispatchWaiting(), (Messages{WM_LBUTTONUP, WM_KEYDOWN}));
}

TEST_F(MessageQueueTest, DoubleTapInOneBurstGetsAFrameForEachPress) {
    for (int i = 0; i < 2; ++i) {
        postInputMessage(WM_LBUTTONDOWN, 1, 0);
        postInputMessage(WM_LBUTTONUP, 0, 0);
    }
    EXPECT_EQ(dispatchWaiting(), Messages{WM_LBUTTONDOWN});
    ASSERT_EQ(drawFrame(), DD_OK);
    EXPECT_EQ(dispatchWaiting(), (Messages{WM_LBUTTONUP, WM_LBUTTONDOWN}));
    ASSERT_EQ(drawFrame(), DD_OK);
    EXPECT_EQ(dispatchWaiting(), Messages{WM_LBUTTONUP});
}

TEST_F(MessageQueueTest, HeldInputGoesOnWhenNoFrameCanBeDrawn) {
    // A back buffer that cannot be locked: the loop keeps trying, and input,
    // a close request included, must still come through.
    postInputMessage(WM_LBUTTONDOWN, 1, 0);
    postInputMessage(WM_LBUTTONUP, 0, 0);
    postInputMessage(WM_CLOSE, 0, 0);
    EXPECT_EQ(dispatchWaiting(), Messages{WM_LBUTTONDOWN});
    failDisplay(DisplayOp::LockBack, DDERR_SURFACEBUSY);
    EXPECT_EQ(drawFrame(), DDERR_SURFACEBUSY);
    EXPECT_EQ(dispatchWaiting(), Messages{WM_LBUTTONUP});
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(MessageQueueTest, WaitingInsteadOfDrawingLetsHeldInputGoOn) {
    // An inactive viewer sleeps in WaitMessage and draws nothing.
    postInputMessage(WM_LBUTTONDOWN, 1, 0);
    postInputMessage(WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(dispatchWaiting(), Messages{WM_LBUTTONDOWN});
    WaitMessage();
    EXPECT_EQ(dispatchWaiting(), Messages{WM_LBUTTONUP});

    // GetMessageA waits too, and so takes the release instead of blocking.
    postInputMessage(WM_LBUTTONDOWN, 1, 0);
    postInputMessage(WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(dispatchWaiting(), Messages{WM_LBUTTONDOWN});
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, WM_LBUTTONUP);
}

} // namespace
} // namespace orbex::test
