#include "platform/script.h"

#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/testing.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

class ScriptTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        // The installed backend's own script stays quiet while the queue is looked at.
        std::string ignored;
        loadScript("frames 1000000\n", ignored);
        WNDCLASSA wc{};
        wc.lpfnWndProc = [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; };
        wc.lpszClassName = "script test";
        RegisterClassA(&wc);
        CreateWindowExA(0, "script test", "", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    }

    // One look for a message: what the script posted ("none" when it let
    // a frame be drawn), with the shots it took meanwhile.
    std::string pump(bool windowOpen = true) {
        script.pump(windowOpen, [this](const std::string &file) { shots.push_back(file); });
        MSG msg{};
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) == FALSE)
            return "none";
        return std::to_string(msg.message) + " " + std::to_string(msg.wParam);
    }

    InputScript script;
    std::vector<std::string> shots;
};

TEST_F(ScriptTest, OneCommandPerLookAndFramesLetTheLoopDraw) {
    std::string ignored;
    ASSERT_TRUE(script.load("key F9 # frame rate\n\n  frames 2\nshot a.png\nshot b.png\nmove 7 8\nrdown\n", ignored));
    EXPECT_EQ(pump(), "256 120");
    EXPECT_EQ(pump(), "none");
    EXPECT_EQ(pump(), "none");
    EXPECT_TRUE(shots.empty());
    // Shots take no look of their own.
    EXPECT_EQ(pump(), "32 0");
    EXPECT_EQ(shots, (std::vector<std::string>{"a.png", "b.png"}));
    EXPECT_EQ(script.cursor().x, 7);
    EXPECT_EQ(script.cursor().y, 8);
    EXPECT_EQ(pump(), "516 2");
}

TEST_F(ScriptTest, AUsedUpScriptClosesTheWindowOnce) {
    std::string ignored;
    ASSERT_TRUE(script.load("frames 1\n", ignored));
    EXPECT_EQ(pump(), "none");
    // No window, no close: it would go nowhere.
    EXPECT_EQ(pump(false), "none");
    EXPECT_EQ(pump(), "16 0");
    EXPECT_EQ(pump(), "none");
}

TEST_F(ScriptTest, AnErrorNamesTheLineAndKeepsTheScriptItHad) {
    std::string ignored;
    ASSERT_TRUE(script.load("key Home\n", ignored));
    std::string error;
    EXPECT_FALSE(script.load("frames 2\n# fine\nkey F3\n", error));
    EXPECT_EQ(error, "line 3: unknown key F3");
    EXPECT_FALSE(script.load("move 1\n", error));
    EXPECT_EQ(error, "line 1: move takes 2 arguments");
    EXPECT_FALSE(script.load("key 0x100\n", error));
    EXPECT_FALSE(script.load("activate 2\n", error));
    EXPECT_FALSE(script.load("frames -1\n", error));
    EXPECT_EQ(pump(), "256 36");
}

} // namespace
} // namespace orbex::test
