// The SDL2 backend as its parts share it: one object holds the window, the
// renderer, the texture that shows the frames and the audio device, and its
// work is split by part: window.cpp (the window, its mode, the pointer,
// message boxes), events.cpp (SDL's events as window messages, in a window,
// a key and a mouse part), screen.cpp (the frames), clipboard.cpp (the
// article's text for Ctrl+C), audio.cpp (the device) and xdisplay.cpp (an X
// display that goes away).
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/backend.h"
#include "platform/sound/sound.h"

namespace orbex::sdl {

// SDL objects that destroy themselves.
struct SdlDestroy {
    void operator()(SDL_Window *window) const { SDL_DestroyWindow(window); }
    void operator()(SDL_Renderer *renderer) const { SDL_DestroyRenderer(renderer); }
    void operator()(SDL_Texture *texture) const { SDL_DestroyTexture(texture); }
};
template <typename T> using SdlPtr = std::unique_ptr<T, SdlDestroy>;

// The audio device: SDL's audio part only, so it works beside any video
// set-up. It pulls the mix from player on SDL's audio thread.
class SdlOutput final : public sound::Output {
  public:
    explicit SdlOutput(sound::ModulePlayer *player) : player(player) {}
    bool open(DWORD rate) override;
    void close() override;
    bool lost() override;

  private:
    sound::ModulePlayer *player;
    SDL_AudioDeviceID device = 0;
};

// xdisplay.cpp: from now on the loss of the window's X display ends the
// viewer through platform.displayLost(), right where Xlib finds it; nothing
// under other video drivers. Called when the window is made.
void watchDisplay(SDL_Window *window, Platform &platform);
// Whether the window's display went away: while the viewer closes, no SDL
// video call is made, as each would wait on the dead display or draw into it.
bool displayGone();

class SdlBackend final : public VideoBackend {
  public:
    // Reads ORBEX_SCALE, ORBEX_INTEGER_SCALE and ORBEX_AUDIO_CAPTURE.
    SdlBackend(Platform &platform, bool fullscreen);

    // window.cpp
    int screenWidth() override;
    int screenHeight() override;
    bool openWindow(const char *title) override;
    void showWindow() override;
    void closeWindow() override;
    bool cursorPos(POINT *point) override;
    void hideSystemCursor() override;
    void messageBox(const char *text, const char *caption) override;
    // events.cpp
    void pumpEvents(bool wait) override;
    // screen.cpp
    bool openFrames(int width, int height, int depth) override;
    bool restoreFrames() override;
    void closeFrames() override;
    void presentFrame(const FrameView &frame) override;
    // clipboard.cpp
    void articleText(const ArticleText &text) override;

    // The music: the desktop's module player on SDL's audio device.
    MusicEngine *music() { return &player; }
    // The viewer window while it is open (tests).
    SDL_Window *sdlWindow() const { return window.get(); }

  private:
    // window.cpp
    // After the display went away: the window, renderer and texture are let
    // go without a call that would wait on the dead display.
    void abandonDisplay();
    SDL_Rect desktopBounds() const;
    void applyWindowMode();
    bool makeRenderer();
    // A window position as the frame pixel under it, packed as Windows
    // packs a pointer position.
    LPARAM pointParam(int x, int y) const;
    // The pointer's frame pixel.
    LPARAM pointerParam() const;
    // events.cpp: one event each; true when it posted a message.
    bool handleEvent(const SDL_Event &event, bool *moved);
    bool onWindowEvent(const SDL_WindowEvent &event);
    bool onKey(const SDL_KeyboardEvent &key);
    bool onMouse(const SDL_Event &event, bool *moved);
    // The keys the backend keeps for itself; true when the key was one of them.
    bool backendKey(const SDL_KeyboardEvent &key);
    // clipboard.cpp: Ctrl+C puts the shown article's text on the clipboard.
    void copyArticleText();
    // screen.cpp
    bool openTexture(int depth);
    void drawTexture();
    // The window needs its picture again while the viewer draws no frames
    // (uncovered, resized, mode toggled).
    void presentAgain();
    void waitForRefresh();

    Platform &platform;
    bool fullscreen;
    int scale;
    bool integerScale;
    // Whether the system pointer is over the window, as SDL's enter and
    // leave events tell.
    bool pointerInside = false;
    // The shown article's text as UTF-8, made when the article or its lines
    // change; empty while no article is shown.
    std::string copyText;
    std::uint32_t copySelection = 0;
    std::uint32_t copyVersion = 0;
    // Declared in the order they are made, so that each goes before what it
    // was made from.
    SdlPtr<SDL_Window> window;
    SdlPtr<SDL_Renderer> renderer;
    SdlPtr<SDL_Texture> texture;
    int textureDepth = 0;
    // When the last flip was presented, in performance-counter ticks.
    Uint64 lastPresent = 0;
    // The device outlives the player, which closes it when it goes.
    SdlOutput output;
    sound::ModulePlayer player;
};

// The backend while it is installed, else nullptr (tests).
SdlBackend *installedBackend();

} // namespace orbex::sdl
