// What a backend supplies, and all it supplies: a window with its input, the
// frames shown on a screen, message boxes, and (platform/bass.h) a music
// engine. Everything else of the window system, the display layer and the
// sound library is emulated once, in this folder, for every backend. The
// orbex binary installs one backend at start (ORBEX_VIDEO); tests install
// the headless one.
#pragma once

#include <cstdint>

#include "platform/ddraw.h"
#include "platform/windows.h"

namespace orbex {

// A frame as the display layer holds it: rows of pitch bytes, 16-bit pixels
// (low byte first, with these channel masks) or 24-bit blue, green, red.
struct FrameView {
    const std::uint8_t *pixels = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;
    int depth = 0;
    DWORD redMask = 0, greenMask = 0, blueMask = 0;
};

class VideoBackend {
  public:
    virtual ~VideoBackend() = default;

    // The window and its input.

    // The desktop's size in pixels, for GetSystemMetrics.
    virtual int screenWidth() = 0;
    virtual int screenHeight() = 0;
    // The one viewer window appears and goes; false when none can be made.
    virtual bool openWindow(const char *title, int width, int height) = 0;
    virtual void showWindow() = 0;
    virtual void closeWindow() = 0;
    // Turns waiting input into messages with postInputMessage. With wait set,
    // blocks until at least one message was posted or nothing more can come.
    virtual void pumpEvents(bool wait) = 0;
    // The pointer in frame coordinates; false when unknown.
    virtual bool cursorPos(POINT *point) = 0;
    virtual void hideSystemCursor() = 0;
    // A modal box with an OK button; the texts are Windows-1252.
    virtual void messageBox(const char *text, const char *caption) = 0;

    // The screen.

    // The mode of the desktop, kept while the viewer sets none.
    virtual void desktopMode(DWORD *width, DWORD *height, int *depth) = 0;
    // Whether the screen can show this mode.
    virtual bool offersMode(DWORD width, DWORD height, int depth) = 0;
    // The channel masks of 16-bit pixels.
    virtual void masks16(DWORD *red, DWORD *green, DWORD *blue) = 0;
    // Extra bytes at the end of every surface row.
    virtual int pitchPadding() { return 0; }
    // A flipping chain is made for frames of this size and depth; false when
    // they cannot be shown.
    virtual bool openFrames(int width, int height, int depth) = 0;
    // Lost surfaces are being restored; false while frames still cannot be shown.
    virtual bool restoreFrames() { return true; }
    // The flipping chain is gone.
    virtual void closeFrames() {}
    // A flip: this frame is now on the screen. Its memory stays valid until
    // the next flip or until the chain is released.
    virtual void presentFrame(const FrameView &frame) = 0;
};

void setVideoBackend(VideoBackend *backend);
VideoBackend *videoBackend();

} // namespace orbex
