// What a backend supplies to the window system and the display layer. The
// orbex binary installs one at start (ORBEX_VIDEO); tests install the
// headless one.
#pragma once

#include "platform/ddraw.h"
#include "platform/windows.h"

namespace orbex {

class VideoBackend {
  public:
    virtual ~VideoBackend() = default;
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
    // A modal box with an OK button; the text is Windows-1252.
    virtual void messageBox(const char *text, const char *caption) = 0;
    // Makes the display object for DirectDrawCreate.
    virtual HRESULT createDirectDraw(IDirectDraw **directDraw) = 0;
};

void setVideoBackend(VideoBackend *backend);
VideoBackend *videoBackend();

} // namespace orbex
