// A backend as a fourth one would be written, from platform/backend.h alone:
// what installing, shutting down and resetting the platform do with it, and
// what the platform does in its place (scripts, the idle message, the kept
// frame, the display modes on offer).
#include "platform/install.h"

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/bass.h"
#include "platform/clock.h"
#include "platform/testing.h"
#include "platform/windows.h"
#include "support/chain.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

// What the fake backend was asked, one word a call.
std::vector<std::string> asked;

class FakeVideo final : public VideoBackend {
  public:
    bool openWindow(const char *) override { return true; }
    void pumpEvents(bool) override {
        asked.emplace_back("pump");
        for (UINT message : pending)
            platform->postInput(message, 0, 0);
        pending.clear();
    }
    bool cursorPos(POINT *point) override {
        *point = POINT{7, 8};
        return true;
    }
    void messageBox(const char *, const char *) override {}
    void presentFrame(const FrameView &frame) override { asked.push_back("present " + std::to_string(frame.depth)); }
    void shot(const std::string &name, const FrameView &frame) override {
        asked.push_back("shot " + name + (frame.pixels != nullptr ? " " + std::to_string(frame.pixels[0]) : " black"));
    }

    Platform *platform = nullptr;
    std::vector<UINT> pending;
};

class FakeMusic final : public MusicEngine {
  public:
    bool open(DWORD) override { return true; }
    void close() override {}
    bool lost() override { return false; }
    bool load(HMUSIC, std::vector<std::uint8_t>, bool) override { return true; }
    void play(HMUSIC) override {}
    void free(HMUSIC) override {}
    void setRunning(bool) override {}
    void setVolume(int) override {}
    void advance(DWORD ms) override { asked.push_back("advance " + std::to_string(ms)); }
    void reset() override { asked.emplace_back("music reset"); }
};

FakeVideo video;
FakeMusic music;
BackendParts::Script script = BackendParts::Script::Never;
bool refuse = false;

bool installFake(Platform &platform, BackendParts *parts) {
    asked.emplace_back("install");
    if (refuse)
        return false;
    video.platform = &platform;
    *parts = BackendParts{&video, &music, script};
    return true;
}
void shutdownFake() { asked.emplace_back("shutdown"); }
constexpr Backend FAKE{"fake", installFake, shutdownFake};

LRESULT quietProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

class InstallTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        asked.clear();
        video.pending.clear();
        script = BackendParts::Script::Never;
        refuse = false;
    }
    void TearDown() override {
        resetPlatform();
        ViewerTest::TearDown();
    }

    static HWND openWindow() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = quietProc;
        wc.lpszClassName = "install test";
        RegisterClassA(&wc);
        return CreateWindowExA(0, "install test", "", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    }

    // The next message the loop would take, or "none".
    static std::string next() {
        MSG msg{};
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) == FALSE)
            return "none";
        return std::to_string(msg.message);
    }
};

TEST_F(InstallTest, ABackendIsClosedBeforeTheNextAndItsMusicStopsFirst) {
    ASSERT_TRUE(installBackend(FAKE, false));
    ASSERT_TRUE(installBackend(FAKE, false));
    shutdownBackend();
    shutdownBackend();
    EXPECT_EQ(asked,
              (std::vector<std::string>{"install", "music reset", "shutdown", "install", "music reset", "shutdown"}));
    // One that cannot run is not installed, and nothing is closed for it.
    asked.clear();
    refuse = true;
    EXPECT_FALSE(installBackend(FAKE, false));
    shutdownBackend();
    EXPECT_EQ(asked, std::vector<std::string>{"install"});
}

TEST_F(InstallTest, ItsOwnInputComesWithAnIdleMessageWhenNoneCameForAWhile) {
    // A backend no script plays takes no ORBEX_SCRIPT, not even a missing one.
    ::setenv("ORBEX_SCRIPT", "missing.txt", 1);
    ASSERT_TRUE(installBackend(FAKE, true));
    ::unsetenv("ORBEX_SCRIPT");
    ASSERT_NE(openWindow(), nullptr);
    video.pending = {WM_KEYDOWN};
    EXPECT_EQ(next(), std::to_string(WM_KEYDOWN));
    EXPECT_EQ(next(), "none");
    std::this_thread::sleep_for(std::chrono::milliseconds(520));
    EXPECT_EQ(next(), std::to_string(WM_NULL));
    EXPECT_EQ(next(), "none");
    POINT at{};
    ASSERT_TRUE(GetCursorPos(&at));
    EXPECT_EQ(at.x, 7);
}

TEST_F(InstallTest, AScriptPlaysInsteadWithTheVirtualClockAndTheKeptFrame) {
    script = BackendParts::Script::WhenGiven;
    writeFile("script.txt", std::string("shot a.png\nmove 3 4\nframes 1\nshot b.png\n"));
    ::setenv("ORBEX_SCRIPT", "script.txt", 1);
    ::setenv("ORBEX_CLOCK", "step:20", 1);
    ASSERT_TRUE(installBackend(FAKE, true));
    ::unsetenv("ORBEX_SCRIPT");
    ::unsetenv("ORBEX_CLOCK");
    ASSERT_NE(openWindow(), nullptr);
    const DWORD started = timeGetTime();
    EXPECT_EQ(next(), std::to_string(WM_SETCURSOR));
    POINT at{};
    ASSERT_TRUE(GetCursorPos(&at));
    EXPECT_EQ(at.x, 3);
    EXPECT_EQ(next(), "none");
    Chain chain(24);
    ASSERT_EQ(chain.flip(0x5A), DD_OK);
    chain.release();
    EXPECT_EQ(timeGetTime() - started, 20u);
    EXPECT_EQ(next(), std::to_string(WM_CLOSE));
    // The backend was never asked for input; the shot after the release is
    // of the frame flipped.
    EXPECT_EQ(asked,
              (std::vector<std::string>{"install", "shot a.png black", "present 24", "advance 20", "shot b.png 90"}));
}

TEST_F(InstallTest, AResetLeavesNoFailureCallOfferClockOrScriptBehind) {
    ASSERT_TRUE(installBackend(FAKE, false));
    offerDepths({16});
    failDisplay(DisplayOp::Create, DDERR_GENERIC);
    failSound(SoundOp::Init, BASS_ERROR_DRIVER);
    failWindowCreation();
    useVirtualClock(1000, 20);
    BASS_Stop();
    resetPlatform();
    EXPECT_EQ(asked.back(), "shutdown");
    ASSERT_TRUE(installBackend(FAKE, false));
    EXPECT_TRUE(soundCalls().empty());
    EXPECT_NE(BASS_Init(-1, 44100, 0, nullptr), FALSE);
    EXPECT_NE(openWindow(), nullptr);
    Chain chain(24);
    EXPECT_EQ(displayCalls().front(), "DirectDrawCreate");
    EXPECT_NE(timeGetTime(), 1000u);
    EXPECT_EQ(next(), std::to_string(WM_NULL)) << "the backend's own input, no script";
}

} // namespace
} // namespace orbex::test
