// The browser backend, natively, over a stand-in page: the functions of
// src/platform/web/orbex_web.h written here, recording what the backend asks of the page
// and answering as a test tells them. The page itself is tested in Chromium
// (web/test/).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/files.h"
#include "platform/bass.h"
#include "platform/clock.h"
#include "platform/install.h"
#include "platform/testing.h"
#include "platform/text.h"
#include "platform/web/orbex_web.h"
#include "platform/web/shownframe.h"
#include "platform/web/web.h"
#include "platform/windows.h"
#include "present/pagetext.h"
#include "shell/reset.h"
#include "support/chain.h"
#include "support/page_files.h"
#include "text/archive.h"

namespace {

// What the page holds and has been asked.
struct Page {
    std::deque<std::vector<std::uint32_t>> events;
    // Events that arrive only while the program waits for one.
    std::deque<std::vector<std::uint32_t>> arriving;
    std::int32_t cursor[2] = {640, 240};
    std::vector<std::string> calls;
    int nWaitsWithNothing = 0;
    int nextModule = 7;
    bool refuseModules = false;
    std::vector<std::uint8_t> shot;
    std::vector<std::string> texts;
    std::vector<std::string> waitedFor;
};

Page page;

} // namespace

extern "C" {

void orbex_present(const void *, int width, int height, int first, int last) {
    page.calls.push_back("present " + std::to_string(width) + "x" + std::to_string(height) + " rows " +
                         std::to_string(first) + "-" + std::to_string(last));
}
void orbex_wait_frame(void) { page.calls.emplace_back("wait_frame"); }
void orbex_wait_file(const char *path) { page.waitedFor.emplace_back(path); }
int orbex_poll_event(uint32_t *out) {
    if (page.events.empty())
        return 0;
    for (int i = 0; i < 3; ++i)
        out[i] = page.events.front()[i];
    page.events.pop_front();
    return 1;
}
void orbex_wait_event(void) {
    page.calls.emplace_back("wait_event");
    if (page.arriving.empty()) {
        // Nothing would ever come: let the program go on rather than hang the test.
        ++page.nWaitsWithNothing;
        page.events.push_back({orbex::WM_CLOSE, 0, 0});
        return;
    }
    page.events.push_back(page.arriving.front());
    page.arriving.pop_front();
}
int orbex_cursor_pos(int32_t *xy) {
    xy[0] = page.cursor[0];
    xy[1] = page.cursor[1];
    return 1;
}
void orbex_show_cursor(int visible) { page.calls.push_back("show_cursor " + std::to_string(visible)); }
void orbex_message_box(const char *text, const char *caption) {
    page.calls.push_back(std::string("box ") + caption + ": " + text);
}
void orbex_log(const char *line) { page.calls.push_back(std::string("log ") + line); }
void orbex_download(const char *name, const void *, uint32_t length) {
    page.calls.push_back(std::string("download ") + name + " " + std::to_string(length));
}
void orbex_article_text(const char *json) { page.texts.emplace_back(json); }
void orbex_shot(const char *name, const void *rgba, int width, int height) {
    page.calls.push_back(std::string("shot ") + name + " " + std::to_string(width) + "x" + std::to_string(height));
    const auto *bytes = static_cast<const std::uint8_t *>(rgba);
    page.shot.assign(bytes, bytes + width * height * 4);
}
int orbex_sound_init(uint32_t rate) {
    page.calls.push_back("sound_init " + std::to_string(rate));
    return 1;
}
void orbex_sound_start(void) { page.calls.emplace_back("sound_start"); }
int orbex_music_load(const void *, uint32_t length) {
    page.calls.push_back("music_load " + std::to_string(length));
    return page.refuseModules ? 0 : page.nextModule++;
}
int orbex_music_play(int handle) {
    page.calls.push_back("music_play " + std::to_string(handle));
    return 1;
}
void orbex_sound_volume(int volume) { page.calls.push_back("sound_volume " + std::to_string(volume)); }
void orbex_sound_stop(void) { page.calls.emplace_back("sound_stop"); }
void orbex_music_free(int handle) { page.calls.push_back("music_free " + std::to_string(handle)); }

} // extern "C"

namespace orbex {
namespace {

namespace fs = std::filesystem;

LRESULT quietProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

class WebBackend : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char *name : {"ORBEX_SCRIPT", "ORBEX_CLOCK"})
            ::unsetenv(name);
        resetPlatform();
        page = Page{};
    }
    void TearDown() override {
        chain.reset();
        resetPlatform();
        for (const char *name : {"ORBEX_SCRIPT", "ORBEX_CLOCK"})
            ::unsetenv(name);
        if (!script.empty())
            fs::remove(script);
    }

    // The backend installed and a window open; false when install refused.
    bool start() {
        if (!installBackend(web::BACKEND, true))
            return false;
        WNDCLASSA wc{};
        wc.lpfnWndProc = quietProc;
        wc.lpszClassName = "test";
        RegisterClassA(&wc);
        hwnd = CreateWindowExA(0, "test", "", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
        return hwnd != nullptr;
    }

    void useScript(const std::string &text) {
        script = fs::temp_directory_path() / ("orbex-web-script-" + std::to_string(::getpid()) + ".txt");
        std::ofstream(script) << text;
        ::setenv("ORBEX_SCRIPT", script.c_str(), 1);
    }

    // The next message the loop would take, as "message wParam lParam".
    static std::string next() {
        MSG msg{};
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) == FALSE)
            return "none";
        return std::to_string(msg.message) + " " + std::to_string(msg.wParam) + " " + std::to_string(msg.lParam);
    }

    // A frame of this depth filled with byte, flipped as the viewer does.
    void flip(int depth, std::uint8_t byte = 0) {
        if (!chain || depth != chainDepth) {
            chain.reset();
            chain.emplace(static_cast<DWORD>(depth));
            chainDepth = depth;
            page.calls.clear();
        }
        ASSERT_EQ(chain->flip(byte), DD_OK);
    }

    HWND hwnd = nullptr;
    fs::path script;
    std::optional<test::Chain> chain;
    int chainDepth = 0;
};

TEST_F(WebBackend, PageEventsBecomeWindowMessagesInOrder) {
    ASSERT_TRUE(start());
    page.events = {{WM_KEYDOWN, VK_F12, 1}, {WM_LBUTTONDOWN, 1, (20 << 16) | 10}, {WM_LBUTTONUP, 0, 0x40000001}};
    EXPECT_EQ(next(), "256 123 1");
    EXPECT_EQ(next(), "513 1 1310730");
    // The release waits, as on every backend, until a frame has seen the press.
    EXPECT_EQ(next(), "none");
    releaseHeldInput();
    // All three words pass unchanged, the top bit of lParam included.
    EXPECT_EQ(next(), "514 0 1073741825");
    POINT at{};
    page.cursor[0] = 33, page.cursor[1] = 44;
    ASSERT_TRUE(GetCursorPos(&at));
    EXPECT_EQ(at.x, 33);
    EXPECT_EQ(at.y, 44);
}

TEST_F(WebBackend, WaitingForAMessageWaitsForThePage) {
    ASSERT_TRUE(start());
    page.arriving = {{WM_KEYDOWN, VK_SPACE, 1}};
    WaitMessage();
    EXPECT_EQ(page.nWaitsWithNothing, 0);
    EXPECT_EQ(next(), "256 32 1");
    EXPECT_EQ(std::count(page.calls.begin(), page.calls.end(), "wait_event"), 1);
}

TEST_F(WebBackend, AnIdlePageSendsAnEmptyMessageNowAndThen) {
    ASSERT_TRUE(start());
    // Just started: a message came "now", so none is due yet.
    page.events = {{WM_ACTIVATEAPP, 1, 0}};
    EXPECT_EQ(next(), "28 1 0");
    EXPECT_EQ(next(), "none");
    std::this_thread::sleep_for(std::chrono::milliseconds(520));
    EXPECT_EQ(next(), "0 0 0");
    EXPECT_EQ(next(), "none");
}

TEST_F(WebBackend, AFlipShowsTheFrameThenWaitsForTheNextAnimationFrame) {
    ASSERT_TRUE(start());
    flip(24);
    EXPECT_EQ(page.calls, (std::vector<std::string>{"present 640x480 rows 0-479", "wait_frame"}));
    // The same frame again: nothing new for the canvas.
    flip(24);
    EXPECT_EQ(page.calls.at(2), "present 640x480 rows 0--1");
    flip(24, 7);
    EXPECT_EQ(page.calls.at(4), "present 640x480 rows 0-479");
    flip(16);
    EXPECT_EQ(page.calls, (std::vector<std::string>{"present 640x480 rows 0-479", "wait_frame"}));
    SetCursor(nullptr);
    EXPECT_EQ(page.calls.back(), "show_cursor 0");
    MessageBoxA(hwnd, "Text", "ORBEX 5", MB_OK);
    EXPECT_EQ(page.calls.back(), "box ORBEX 5: Text");
}

TEST_F(WebBackend, AScriptedRunTakesOnlyTheScriptAndMovesTheVirtualClock) {
    useScript("shot black.png\nmove 5 6\nkey F1\nframes 1\nshot one.png\n");
    ::setenv("ORBEX_CLOCK", "step:20", 1);
    ASSERT_TRUE(start());
    page.events = {{WM_KEYDOWN, VK_F12, 1}};
    const DWORD started = timeGetTime();
    EXPECT_EQ(next(), "32 0 33554433");
    EXPECT_EQ(page.calls.front(), "shot black.png 640x480");
    // Black, opaque.
    ASSERT_EQ(page.shot.size(), 640u * 4 * 480);
    EXPECT_EQ(page.shot[0] | page.shot[1] | page.shot[2], 0);
    EXPECT_EQ(page.shot[3], 255);
    POINT at{};
    GetCursorPos(&at);
    EXPECT_EQ(at.x, 5);
    EXPECT_EQ(at.y, 6);
    EXPECT_EQ(next(), "256 112 1");
    // "frames 1": the loop finds nothing once and draws.
    EXPECT_EQ(next(), "none");
    flip(24, 0x5A);
    EXPECT_EQ(timeGetTime() - started, 20u);
    // The shot is of the frame flipped, even after its memory is gone.
    chain->release();
    EXPECT_EQ(next(), "16 0 0");
    EXPECT_EQ(page.calls.back(), "shot one.png 640x480");
    ASSERT_EQ(page.shot.size(), 640u * 4 * 480);
    EXPECT_EQ(page.shot[1000], 0x5A);
    EXPECT_EQ(page.shot[1003], 255);
    // The page's key was never taken.
    EXPECT_EQ(page.events.size(), 1u);
}

// The magazine arrives while the viewer runs: every file it opens is
// waited for first, as the page fetches it.
TEST_F(WebBackend, AFileIsWaitedForBeforeItIsOpened) {
    ASSERT_TRUE(start());
    EXPECT_EQ(openRegularFile("data/begin.raw"), nullptr);
    EXPECT_EQ(page.waitedFor, std::vector<std::string>{"data/begin.raw"});
    shutdownBackend();
    openRegularFile("data/chars.168");
    EXPECT_EQ(page.waitedFor.size(), 1u);
}

TEST_F(WebBackend, AClockOrScriptThatCannotBeUsedStopsTheStart) {
    ::setenv("ORBEX_CLOCK", "fast", 1);
    EXPECT_FALSE(installBackend(web::BACKEND, true));
    ::unsetenv("ORBEX_CLOCK");
    useScript("jump 3\n");
    EXPECT_FALSE(installBackend(web::BACKEND, true));
}

TEST_F(WebBackend, TheSoundLibraryKeepsItsRulesOverThePagesPlayer) {
    ASSERT_TRUE(start());
    const std::vector<std::uint8_t> module(300, 1);
    EXPECT_EQ(BASS_MusicLoad(TRUE, module.data(), 0, 300, BASS_MUSIC_LOOP), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    ASSERT_TRUE(BASS_Init(-1, 22050, 0, hwnd));
    HMUSIC first = BASS_MusicLoad(TRUE, module.data(), 0, 300, BASS_MUSIC_LOOP);
    ASSERT_NE(first, 0u);
    EXPECT_FALSE(BASS_MusicPlay(first));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_START);
    ASSERT_TRUE(BASS_Start());
    EXPECT_TRUE(BASS_MusicPlay(first));
    EXPECT_TRUE(BASS_SetVolume(40));
    EXPECT_EQ(BASS_GetVolume(), 40);
    EXPECT_FALSE(BASS_SetVolume(101));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    page.refuseModules = true;
    EXPECT_EQ(BASS_MusicLoad(TRUE, module.data(), 0, 300, BASS_MUSIC_LOOP), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    EXPECT_TRUE(BASS_Stop());
    EXPECT_TRUE(BASS_MusicFree(first));
    EXPECT_FALSE(BASS_MusicFree(first));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    // The page's own handle for the module is the one played and freed.
    // The output is stopped, then opened, at every initialisation.
    EXPECT_EQ(page.calls, (std::vector<std::string>{"sound_stop", "sound_init 22050", "sound_volume 100",
                                                    "music_load 300", "sound_start", "music_play 7", "sound_volume 40",
                                                    "music_load 300", "sound_stop", "music_free 7"}));
}

} // namespace
} // namespace orbex

namespace orbex {
namespace {

// The page gets the lines once per article, as coloured runs with their
// links, and then only the view, with the point a click on each visible link
// takes in the picture.
TEST_F(WebBackend, TheArticlesTextGoesToThePageOncePerArticle) {
    resetViewer();
    ASSERT_TRUE(start());
    const std::string text = "Gr\xFC\xDF"
                             "e \"da\"\n" +
                             test::colourCode(255, 0, 0) + "rot " +
                             test::articleLink("4", "2", 0x102030, 0x405060, "Weiter") + "\n";
    std::copy(text.begin(), text.end(), szText.begin());
    nTextLength = static_cast<std::int32_t>(text.size());
    ++dwSelections;
    showArticleText(articleTextAt(0.0f));
    showArticleText(articleTextAt(1.0f));
    showArticleText(ArticleText{});
    ASSERT_EQ(page.texts.size(), 3u);
    EXPECT_NE(page.texts[0].find("\"lines\":[[[\"Gr\xC3\xBC\xC3\x9F"
                                 "e \\\"da\\\"\",\"ffffff\",-1]],"
                                 "[[\"rot \",\"ff0000\",-1],[\"Weiter\",\"102030\",19]],[]]"),
              std::string::npos)
        << page.texts[0];
    // A link is named by the place of its opening code in the text.
    EXPECT_NE(page.texts[0].find("\"links\":[{\"place\":19,\"line\":1,\"music\":false,\"module\":\"\",\"target\":4,"
                                 "\"targetLine\":2}]"),
              std::string::npos)
        << page.texts[0];
    // The link's zone runs from x = 48 to 96 (both excluded) on line 1,
    // rows 222 to 238 (both excluded).
    EXPECT_NE(page.texts[0].find("\"view\":{\"first\":0,\"last\":2,\"points\":[[19,72,223]]}"), std::string::npos)
        << page.texts[0];
    EXPECT_EQ(page.texts[1].find("\"lines\""), std::string::npos) << page.texts[1];
    EXPECT_NE(page.texts[1].find("\"view\":{\"first\":1,\"last\":2,\"points\":[[19,72,207]]}"), std::string::npos)
        << page.texts[1];
    EXPECT_EQ(page.texts[2], "{\"shown\":false}");
}

} // namespace
} // namespace orbex

namespace {

// A frame of 640x480 pixels at depth, each row padded by pad bytes.
struct TestFrame {
    int depth;
    int pitch;
    std::vector<std::uint8_t> bytes;

    TestFrame(int depth, int pad) : depth(depth), pitch(640 * depth / 8 + pad), bytes(pitch * 480) {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>((i * 7919) >> 3);
    }
    orbex::FrameView view(std::uint32_t red = 0xF800) const {
        orbex::FrameView v;
        v.pixels = bytes.data();
        v.width = 640;
        v.height = 480;
        v.pitch = pitch;
        v.depth = depth;
        v.redMask = red;
        return v;
    }
    std::uint8_t &at(int row, int byte) { return bytes[static_cast<std::size_t>(row * pitch + byte)]; }
};

std::pair<int, int> span(orbex::web::RowSpan rows) { return {rows.first, rows.last}; }

} // namespace

TEST(ShownFrame, OnlyTheRowsBetweenTheFirstAndLastChangedOneAreNew) {
    for (auto [depth, pad] : {std::pair{24, 0}, {24, 8}, {16, 6}, {24, 1}}) {
        SCOPED_TRACE(std::to_string(depth) + " bits, pad " + std::to_string(pad));
        TestFrame frame(depth, pad);
        orbex::web::ShownFrame shown;
        EXPECT_EQ(span(shown.update(frame.view())), std::pair(0, 479));
        EXPECT_TRUE(shown.update(frame.view()).empty());
        const int rowBytes = 640 * depth / 8;
        // The first byte of one row and the last of another, in every byte
        // lane of the comparison; padding is no pixel.
        frame.at(100, 0) ^= 1;
        frame.at(130, rowBytes - 1) ^= 0x80;
        if (pad > 0)
            frame.at(200, rowBytes) ^= 0xFF;
        EXPECT_EQ(span(shown.update(frame.view())), std::pair(100, 130));
        EXPECT_TRUE(shown.update(frame.view()).empty());
        frame.at(479, rowBytes - 17) ^= 4;
        EXPECT_EQ(span(shown.update(frame.view())), std::pair(479, 479));
        frame.at(0, 63) ^= 4;
        EXPECT_EQ(span(shown.update(frame.view())), std::pair(0, 0));
        // Changed back, the rows are new again: the canvas shows the change.
        frame.at(0, 63) ^= 4;
        EXPECT_EQ(span(shown.update(frame.view())), std::pair(0, 0));
        // Other channel masks: the same bytes are other colours.
        EXPECT_EQ(span(shown.update(frame.view(0x7C00))), std::pair(0, 479));
    }
}

TEST(ShownFrame, AFrameWithoutPixelsIsShownWholeAndForgetsTheLastOne) {
    TestFrame frame(24, 0);
    orbex::web::ShownFrame shown;
    shown.update(frame.view());
    orbex::FrameView black = frame.view();
    black.pixels = nullptr;
    EXPECT_EQ(span(shown.update(black)), std::pair(0, 479));
    EXPECT_EQ(span(shown.update(frame.view())), std::pair(0, 479));
}

namespace orbex {
namespace {

// The same article's text made again for another position sends only the
// lines between those both texts begin and end with, and the links on them;
// lines that moved keep their runs, as links keep their names.
TEST(TextSender, AnArticleMadeAgainSendsTheLinesThatChanged) {
    auto cell = [](char code, std::int16_t link, std::uint8_t column) {
        return TextCell{static_cast<std::uint8_t>(code), column, 255, 255, 255, link, 0};
    };
    // Lines "a", "L" (link at place 40), "b" first; then "a", "x", "y", "L", "b".
    const TextCell before[] = {cell('a', NO_LINK, 1), cell('L', 0, 1), cell('b', NO_LINK, 1)};
    const TextLine beforeLines[] = {{0, true}, {1, true}, {2, true}, {3, true}};
    const TextCell after[] = {cell('a', NO_LINK, 1), cell('x', NO_LINK, 1), cell('y', NO_LINK, 1), cell('L', 0, 1),
                              cell('b', NO_LINK, 1)};
    const TextLine afterLines[] = {{0, true}, {1, true}, {2, true}, {3, true}, {4, true}, {5, true}};
    TextLink link{};
    link.index = 40;
    link.target = 2;
    TextLink movedLink = link;
    link.line = 1;
    movedLink.line = 3;
    ArticleText text;
    text.shown = true;
    text.selection = 5;
    text.version = 1;
    text.cells = before;
    text.lines = beforeLines;
    text.lineCount = 3;
    text.links = &link;
    text.linkCount = 1;
    web::TextSender sender;
    const std::string whole = sender.message(text);
    EXPECT_NE(whole.find("\"lines\":[[[\"a\",\"ffffff\",-1]],[[\"L\",\"ffffff\",40]],[[\"b\",\"ffffff\",-1]]]"),
              std::string::npos)
        << whole;
    text.version = 2;
    text.cells = after;
    text.lines = afterLines;
    text.lineCount = 5;
    text.links = &movedLink;
    const std::string splice = sender.message(text);
    EXPECT_NE(
        splice.find("\"splice\":{\"at\":1,\"remove\":0,\"lines\":[[[\"x\",\"ffffff\",-1]],[[\"y\",\"ffffff\",-1]]],"
                    "\"links\":[]}"),
        std::string::npos)
        << splice;
    EXPECT_EQ(splice.find("\"title\""), std::string::npos) << splice;
    // The view alone; another article, whole again.
    EXPECT_EQ(sender.message(text).find("\"splice\""), std::string::npos);
    text.selection = 6;
    EXPECT_NE(sender.message(text).find("\"lines\":["), std::string::npos);
}

} // namespace
} // namespace orbex
