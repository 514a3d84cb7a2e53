// The SDL2 backend in-process on SDL's offscreen video driver: the display
// objects, and SDL events turned into window messages.
#include <SDL.h>
#include <png.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/bass.h"
#include "platform/install.h"
#include "platform/places.h"
#include "platform/sdl/internal.h"
#include "platform/sdl/sdl.h"
#include "platform/testing.h"
#include "platform/text.h"
#include "present/pagetext.h"
#include "support/chain.h"
#include "support/modules.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Message> seen;

LRESULT recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_NCCREATE && message != WM_CREATE && message != WM_DESTROY && message != WM_NCDESTROY &&
        message != WM_NULL)
        seen.push_back({message, wParam, lParam});
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class SdlBackendTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("ORBEX_SCALE", "2", 1);
        ASSERT_TRUE(installBackend(sdl::WINDOW, false));
        seen.clear();
        WNDCLASSA wc{};
        wc.lpfnWndProc = recordingProc;
        wc.lpszClassName = "test";
        RegisterClassA(&wc);
        hwnd = CreateWindowExA(0, "test", "ORBEX 5", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        ShowWindow(hwnd, SW_SHOWNORMAL);
        // The system pointer comes over the window, as a desktop reports it.
        pushWindowEvent(SDL_WINDOWEVENT_ENTER);
        drain();
        seen.clear();
    }

    void TearDown() override {
        if (IsWindow(hwnd))
            DestroyWindow(hwnd);
        shutdownBackend();
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("ORBEX_SCALE");
        ViewerTest::TearDown();
    }

    // Hands every waiting message to the window procedure.
    void drain() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }

    void pushKey(SDL_Keycode sym, SDL_Scancode scancode, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.state = SDL_PRESSED;
        event.key.repeat = repeat;
        event.key.keysym.sym = sym;
        event.key.keysym.scancode = scancode;
        event.key.keysym.mod = mod;
        SDL_PushEvent(&event);
    }

    void pushWindowEvent(Uint8 what) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.event = what;
        SDL_PushEvent(&event);
    }

    HWND hwnd = nullptr;
};

// The RGB bytes of a PNG file, empty when it cannot be read.
std::vector<std::uint8_t> readPngRgb(const std::filesystem::path &path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        return {};
    return rgb;
}

TEST_F(SdlBackendTest, DisplayOffers16And24BitsAt640x480Only) {
    IDirectDraw *dd = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 8), DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 32), DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(800, 600, 16), DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 24), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16), DD_OK);
    dd->Release();
}

TEST_F(SdlBackendTest, FormatsAndLockAtBothDepthsAndTheDesktopDepth) {
    struct Case {
        DWORD mode, bits, red, green, blue;
    };
    for (Case c : {Case{16, 16, 0xF800, 0x07E0, 0x001F}, Case{24, 24, 0xFF0000, 0x00FF00, 0x0000FF},
                   Case{0, 16, 0xF800, 0x07E0, 0x001F}}) {
        SCOPED_TRACE(c.mode);
        Chain chain(c.mode, hwnd);
        DDPIXELFORMAT format{};
        format.dwSize = sizeof format;
        ASSERT_EQ(chain.primary->GetPixelFormat(&format), DD_OK);
        EXPECT_EQ(format.dwRGBBitCount, c.bits);
        EXPECT_EQ(format.dwRBitMask, c.red);
        EXPECT_EQ(format.dwGBitMask, c.green);
        EXPECT_EQ(format.dwBBitMask, c.blue);

        DDSURFACEDESC desc;
        ASSERT_EQ(chain.lock(&desc), DD_OK);
        EXPECT_GE(desc.lPitch, static_cast<LONG>(640 * c.bits / 8));
        ASSERT_NE(desc.lpSurface, nullptr);
        // The whole frame is writable, the last byte of the last row too.
        auto *last = static_cast<std::uint8_t *>(desc.lpSurface) + 479 * desc.lPitch + 640 * c.bits / 8 - 1;
        *last = 0xAB;
        DDSURFACEDESC again;
        EXPECT_EQ(chain.lock(&again), DDERR_SURFACEBUSY);
        EXPECT_EQ(chain.primary->Flip(nullptr, 0), DDERR_SURFACEBUSY);
        EXPECT_EQ(chain.back->Unlock(nullptr), DD_OK);
        EXPECT_EQ(chain.back->Unlock(nullptr), DDERR_NOTLOCKED);
        EXPECT_EQ(chain.primary->Flip(nullptr, 0), DD_OK);
    }
}

TEST_F(SdlBackendTest, RendererResetLosesSurfacesUntilRestored) {
    Chain chain(24, hwnd);
    for (Uint32 type : {SDL_RENDER_TARGETS_RESET, SDL_RENDER_DEVICE_RESET}) {
        SCOPED_TRACE(type);
        SDL_Event event{};
        event.type = type;
        SDL_PushEvent(&event);
        drain();
        DDSURFACEDESC desc;
        EXPECT_EQ(chain.lock(&desc), DDERR_SURFACELOST);
        EXPECT_EQ(chain.primary->Flip(nullptr, 0), DDERR_SURFACELOST);
        EXPECT_EQ(chain.primary->Restore(), DD_OK);
        EXPECT_EQ(chain.back->Restore(), DD_OK);
        ASSERT_EQ(chain.lock(&desc), DD_OK);
        EXPECT_EQ(chain.back->Unlock(nullptr), DD_OK);
        EXPECT_EQ(chain.primary->Flip(nullptr, 0), DD_OK);
    }
}

TEST_F(SdlBackendTest, KeysBecomeVirtualKeyCodesWithRepeats) {
    pushKey(SDLK_SPACE, SDL_SCANCODE_SPACE);
    pushKey(SDLK_PAGEDOWN, SDL_SCANCODE_PAGEDOWN);
    pushKey(SDLK_F5, SDL_SCANCODE_F5);
    pushKey(SDLK_F5, SDL_SCANCODE_F5, KMOD_NONE, 1);
    // Keypad digits by position, whatever Num Lock says.
    pushKey(SDLK_KP_2, SDL_SCANCODE_KP_2, KMOD_NUM);
    pushKey(SDLK_DOWN, SDL_SCANCODE_KP_2);
    pushKey(SDLK_LEFT, SDL_SCANCODE_KP_4);
    pushKey(SDLK_a, SDL_SCANCODE_A);
    drain();
    std::vector<WPARAM> codes;
    for (const Message &m : seen) {
        EXPECT_EQ(m.message, WM_KEYDOWN);
        codes.push_back(m.wParam);
    }
    EXPECT_EQ(codes, (std::vector<WPARAM>{VK_SPACE, VK_NEXT, VK_F5, VK_F5, VK_NUMPAD2, VK_NUMPAD2, VK_NUMPAD4, 'A'}));
    ASSERT_EQ(seen.size(), 8u);
    EXPECT_EQ(seen[2].lParam & (LPARAM{1} << 30), 0);
    EXPECT_NE(seen[3].lParam & (LPARAM{1} << 30), 0);
}

// F10, the left Alt key and keys pressed with it are Windows' system keys;
// with Ctrl, the Windows key or the right Alt a key is itself. The other
// keys sharing a code (both Enter keys, both Shift keys) give it.
TEST_F(SdlBackendTest, SystemKeysNeverReachTheViewerAndTwinKeysShareACode) {
    pushKey(SDLK_F10, SDL_SCANCODE_F10);
    pushKey(SDLK_LALT, SDL_SCANCODE_LALT);
    pushKey(SDLK_F4, SDL_SCANCODE_F4, KMOD_LALT);
    pushKey(SDLK_SPACE, SDL_SCANCODE_SPACE, KMOD_LALT | KMOD_LCTRL);
    pushKey(SDLK_F1, SDL_SCANCODE_F1, KMOD_LCTRL);
    pushKey(SDLK_a, SDL_SCANCODE_A, KMOD_LGUI);
    pushKey(SDLK_F12, SDL_SCANCODE_F12, KMOD_RALT);
    pushKey(SDLK_RALT, SDL_SCANCODE_RALT);
    pushKey(SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER);
    pushKey(SDLK_RETURN, SDL_SCANCODE_RETURN);
    pushKey(SDLK_RSHIFT, SDL_SCANCODE_RSHIFT);
    pushKey(SDLK_LSHIFT, SDL_SCANCODE_LSHIFT);
    pushKey(SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN);
    drain();
    std::vector<WPARAM> codes;
    for (const Message &m : seen)
        codes.push_back(m.wParam);
    EXPECT_EQ(codes, (std::vector<WPARAM>{VK_F1, 'A', VK_F12, VK_MENU, VK_RETURN, VK_RETURN, VK_SHIFT, VK_SHIFT}));
}

TEST_F(SdlBackendTest, PrintScreenAndAltEnterStayWithTheBackend) {
    Chain chain(16, hwnd);
    DDSURFACEDESC desc;
    ASSERT_EQ(chain.lock(&desc), DD_OK);
    // A white pixel at (1, 0) of an otherwise black frame.
    for (int y = 0; y < 480; ++y)
        std::memset(static_cast<std::uint8_t *>(desc.lpSurface) + y * desc.lPitch, 0, 1280);
    static_cast<std::uint8_t *>(desc.lpSurface)[2] = 0xFF;
    static_cast<std::uint8_t *>(desc.lpSurface)[3] = 0xFF;
    ASSERT_EQ(chain.back->Unlock(nullptr), DD_OK);
    ASSERT_EQ(chain.primary->Flip(nullptr, 0), DD_OK);

    pushKey(SDLK_PRINTSCREEN, SDL_SCANCODE_PRINTSCREEN);
    pushKey(SDLK_PRINTSCREEN, SDL_SCANCODE_PRINTSCREEN);
    pushKey(SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LALT);
    pushKey(SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LALT);
    pushKey(SDLK_F10, SDL_SCANCODE_F10);
    drain();
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(std::filesystem::exists(folder / "orbex-shot-0001.png"));
    EXPECT_TRUE(std::filesystem::exists(folder / "orbex-shot-0002.png"));
    auto rgb = readPngRgb(folder / "orbex-shot-0001.png");
    ASSERT_EQ(rgb.size(), 640u * 480 * 3);
    EXPECT_EQ((std::vector<std::uint8_t>(rgb.begin(), rgb.begin() + 9)),
              (std::vector<std::uint8_t>{0, 0, 0, 255, 255, 255, 0, 0, 0}));
}

// Ctrl+C is the backend's like Print Screen: the viewer hears neither the C
// nor a copy; the clipboard gets the article's text as UTF-8.
TEST_F(SdlBackendTest, CtrlCCopiesTheShownArticleAsUtf8) {
    const std::string text = "Gr\xFC\xDF"
                             "e aus K\xF6ln\n\xA2\x01\x02\x03"
                             "zwei\n";
    std::copy(text.begin(), text.end(), szText.begin());
    nTextLength = static_cast<std::int32_t>(text.size());
    ++dwSelections;
    SDL_SetClipboardText("before");
    // Nothing shown yet: the clipboard keeps what it had.
    pushKey(SDLK_c, SDL_SCANCODE_C, KMOD_LCTRL);
    drain();
    char *kept = SDL_GetClipboardText();
    EXPECT_STREQ(kept, "before");
    SDL_free(kept);
    showArticleText(articleTextAt(0.0f));
    pushKey(SDLK_c, SDL_SCANCODE_C, KMOD_RCTRL);
    pushKey(SDLK_c, SDL_SCANCODE_C);
    drain();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].wParam, VK_C);
    char *copied = SDL_GetClipboardText();
    ASSERT_NE(copied, nullptr);
    EXPECT_STREQ(copied, "Gr\xC3\xBC\xC3\x9F"
                         "e aus K\xC3\xB6ln\nzwei\n");
    SDL_free(copied);
}

// Shots are the reader's: they go where the program was started, not into
// the magazine it entered, and around anything already there.
TEST_F(SdlBackendTest, PrintScreenSavesInTheStartFolder) {
    rememberStartFolder();
    std::filesystem::create_symlink(folder / "elsewhere.png", "orbex-shot-0001.png");
    std::filesystem::create_directory("magazine");
    std::filesystem::current_path("magazine");
    Chain chain(24, hwnd);
    ASSERT_EQ(chain.primary->Flip(nullptr, 0), DD_OK);
    pushKey(SDLK_PRINTSCREEN, SDL_SCANCODE_PRINTSCREEN);
    drain();
    EXPECT_EQ(readPngRgb(folder / "orbex-shot-0002.png").size(), 640u * 480 * 3);
    EXPECT_FALSE(std::filesystem::exists(folder / "elsewhere.png"));
    EXPECT_TRUE(std::filesystem::is_empty(folder / "magazine"));
}

TEST_F(SdlBackendTest, FocusAndCloseBecomeActivationAndCloseRequest) {
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    drain();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].message, WM_ACTIVATEAPP);
    EXPECT_EQ(seen[0].wParam, 0u);
    EXPECT_EQ(seen[1].message, WM_ACTIVATEAPP);
    EXPECT_EQ(seen[1].wParam, 1u);
    seen.clear();
    pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    MSG msg;
    // The wait returns with the close request, whose default handling
    // destroys the window.
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_CLOSE);
    DispatchMessageA(&msg);
    EXPECT_FALSE(IsWindow(hwnd));
}

// A quit request is acted on at the next message; an idle desktop still
// sends one now and then, so the viewer closes after its fade by itself.
TEST_F(SdlBackendTest, IdleWindowGetsAMessageNowAndThen) {
    MSG msg{};
    SDL_Delay(600);
    ASSERT_NE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE), FALSE);
    EXPECT_EQ(msg.message, WM_NULL);
    EXPECT_EQ(msg.hwnd, hwnd);
    // Not again at once: the loop draws frames in between.
    EXPECT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE), FALSE);
}

struct PointerCase {
    int wx, wy;
    LONG fx, fy;
};

// The frame pixel the viewer reads with the system pointer at (wx, wy) of the window.
void expectPointerMapping(std::initializer_list<PointerCase> cases) {
    for (PointerCase c : cases) {
        SCOPED_TRACE(std::to_string(c.wx) + "," + std::to_string(c.wy));
        SDL_WarpMouseInWindow(sdl::installedBackend()->sdlWindow(), c.wx, c.wy);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        POINT p{-1, -1};
        ASSERT_TRUE(GetCursorPos(&p));
        EXPECT_EQ(p.x, c.fx);
        EXPECT_EQ(p.y, c.fy);
    }
}

TEST_F(SdlBackendTest, PointerInFrameCoordinatesOfTheScaledWindow) {
    SDL_Window *window = sdl::installedBackend()->sdlWindow();
    ASSERT_NE(window, nullptr);
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 960);
    expectPointerMapping({{200, 100, 100, 50}, {1279, 959, 639, 479}, {0, 0, 0, 0}});
}

TEST_F(SdlBackendTest, PointerInFrameCoordinatesOfALetterboxedWindow) {
    // 1280x800 shows the frame 1066 pixels wide from x = 107, bars beside it;
    // a pointer on a bar is on the frame's nearest column.
    SDL_SetWindowSize(sdl::installedBackend()->sdlWindow(), 1280, 800);
    drain();
    expectPointerMapping(
        {{608, 334, 300, 200}, {107, 0, 0, 0}, {1172, 799, 639, 479}, {40, 401, 0, 240}, {1250, 10, 639, 6}});
}

TEST_F(SdlBackendTest, PointerOutsideTheWindowIsBesideTheFrameWhereNothingScrolls) {
    expectPointerMapping({{1279, 959, 639, 479}});
    // Gone across the bottom edge: SDL keeps the last place inside, at the
    // edge; the viewer sees the pointer right of the frame, half-way down.
    pushWindowEvent(SDL_WINDOWEVENT_LEAVE);
    drain();
    POINT p{-1, -1};
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 640);
    EXPECT_EQ(p.y, 240);
    pushWindowEvent(SDL_WINDOWEVENT_ENTER);
    drain();
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 639);
    EXPECT_EQ(p.y, 479);

    // Full screen, the window's edge is the screen's: nothing changes there.
    pushKey(SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LALT);
    drain();
    pushWindowEvent(SDL_WINDOWEVENT_LEAVE);
    drain();
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_LT(p.x, 640);
    EXPECT_NE(p.y, 240);
}

// The music reaches SDL's audio device: with the dummy driver the device
// still pulls the mixer, and the capture shows what it played.
class SdlAudioTest : public ViewerTest {};

TEST_F(SdlAudioTest, ModulePlaysThroughTheDeviceIntoTheCapture) {
    const auto wav = folder / "capture.wav";
    const auto module = folder / "song.xm";
    ASSERT_TRUE(writeDemoModule(module.string(), 1));
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("ORBEX_AUDIO_CAPTURE", wav.c_str(), 1);
    ASSERT_TRUE(installBackend(sdl::WINDOW, false));
    ASSERT_NE(BASS_Init(-1, 22050, 0, nullptr), FALSE);
    HMUSIC music = BASS_MusicLoad(FALSE, module.c_str(), 0, 0, BASS_MUSIC_LOOP);
    ASSERT_NE(music, 0u);
    ASSERT_NE(BASS_Start(), FALSE);
    ASSERT_NE(BASS_MusicPlay(music), FALSE);
    for (int i = 0; i < 100 && std::filesystem::file_size(wav) < 44 + 22050; ++i)
        SDL_Delay(20);
    BASS_Stop();
    shutdownBackend();
    unsetenv("ORBEX_AUDIO_CAPTURE");
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_VIDEODRIVER");

    Wave wave = readWave(wav.string());
    EXPECT_TRUE(wave.bValid);
    EXPECT_EQ(wave.dwRate, 22050u);
    ASSERT_GT(wave.frames(), 2000u);
    EXPECT_GT(rmsLevel(wave, 0, wave.frames()), 100.0);
}

} // namespace
} // namespace orbex::test
