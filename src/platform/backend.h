// The backend contract: everything a backend implements and everything it
// may call. A backend is only its own input and output: a window with its
// input, the frames on a screen, message boxes and a music engine. The
// window system, the display layer and the sound library are emulated once,
// in src/platform/, over whichever backend is installed; so are scripted runs
// with the virtual clock, the idle message, the last shown frame and the
// display modes on offer. A backend includes this header and src/common/
// only, and reaches the platform only through the Platform handed to its
// install, as a window class hands the window system its procedure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/articletext.h"
#include "common/frameview.h"
#include "common/geometry.h"
#include "common/win32.h"

namespace orbex {

// ---- What a backend implements ------------------------------------------

// The window with its input, and the screen. Called on the viewer's thread.
class VideoBackend {
  public:
    virtual ~VideoBackend() = default;

    // The desktop's size in pixels, for GetSystemMetrics.
    virtual int screenWidth() { return SCREENWIDTH; }
    virtual int screenHeight() { return SCREENHEIGHT; }
    // The one viewer window appears and goes; false when none can be made.
    virtual bool openWindow(const char *title) = 0;
    virtual void showWindow() {}
    virtual void closeWindow() {}
    // Turns waiting input into messages (Platform::postInput). With wait
    // set, blocks until at least one message was posted or the window is
    // gone. Not called while a script plays the input.
    virtual void pumpEvents(bool wait) = 0;
    // The pointer in frame coordinates; false when unknown. Not called while
    // a script plays the input.
    virtual bool cursorPos(POINT *point) = 0;
    virtual void hideSystemCursor() {}
    // A modal box with an OK button; the texts are Windows-1252.
    virtual void messageBox(const char *text, const char *caption) = 0;

    // A flipping chain is made for frames of this size and depth (a mode the
    // display offers); false when they cannot be shown.
    virtual bool openFrames(int, int, int) { return true; }
    // Lost surfaces are being restored; false while frames still cannot be shown.
    virtual bool restoreFrames() { return true; }
    // The flipping chain is gone.
    virtual void closeFrames() {}
    // A flip: this frame is now on the screen. Its memory stays valid until
    // the next flip or until the chain is released.
    virtual void presentFrame(const FrameView &frame) = 0;
    // A script's "shot NAME": the last shown frame (black before the first
    // flip) as a picture under that name. Only for backends a script plays.
    virtual void shot(const std::string &, const FrameView &) {}
    // The article's text as the page lays it out, with the lines in view,
    // whenever the article or the view changes (text.version tells whether
    // the lines did); not shown (text.shown false) once no article is. For
    // a backend that offers the text beside the picture; its pointers are
    // valid until the next call.
    virtual void articleText(const ArticleText &) {}
};

using HMUSIC = DWORD;
// The output volume runs from 0, silence, to this.
constexpr int FULL_VOLUME = 100;

// The music: modules decoded and played on an output. Called on the
// viewer's thread only; the sound library's rules (states, handles, error
// codes) are the platform's.
class MusicEngine {
  public:
    virtual ~MusicEngine() = default;
    // Opens the output for stereo at rate frames a second, again at every
    // initialisation; false when no output can be opened.
    virtual bool open(DWORD rate) = 0;
    virtual void close() = 0;
    // True when an opened output has gone away (unplugged, server gone).
    virtual bool lost() = 0;
    // Takes a module's bytes under a new handle; false when they are no
    // module it can play.
    virtual bool load(HMUSIC handle, std::vector<std::uint8_t> bytes, bool loop) = 0;
    // The module plays on from where it is; a fresh one from its start.
    virtual void play(HMUSIC handle) = 0;
    virtual void free(HMUSIC handle) = 0;
    // Started, every playing module sounds; stopped, the output plays silence
    // and every module waits where it is.
    virtual void setRunning(bool running) = 0;
    // The output volume, 0 to FULL_VOLUME.
    virtual void setVolume(int volume) = 0;
    // The virtual clock moved ms milliseconds (one flip of a scripted run):
    // an engine without an output device plays that much.
    virtual void advance(DWORD) {}
    // Back to never opened: output closed, modules freed.
    virtual void reset() = 0;
};

// ---- What a backend may call ----------------------------------------------

// The platform's side, handed to install; valid until shutdown.
class Platform {
  public:
    // Input for the viewer window, in the order it came; dropped while
    // there is no window. Messages and parameters as Windows gives them
    // (common/win32.h, common/keys.h).
    virtual void postInput(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The screen lost its frames (a renderer reset): every surface answers
    // DDERR_SURFACELOST until the viewer restores it.
    virtual void loseSurfaces() = 0;
    // The last flipped frame, kept after the display objects are gone;
    // without pixels before the first flip.
    virtual FrameView shownFrame() = 0;
    // Print Screen: the shown frame as a new picture in the user's shots
    // folder; a failure is told on standard error.
    virtual void saveScreenshot() = 0;
    // A frame as a PNG file at path, as given; false, with the reason in
    // *why, when it cannot be written.
    virtual bool writePng(const std::string &path, const FrameView &frame, std::string &why) = 0;
    // A path the user gave (ORBEX_AUDIO_CAPTURE, a script's shot), taken
    // from the folder the program was started in.
    virtual std::string userPath(const char *path) = 0;
    // The screen went away (the display's server ended): the viewer's
    // window is closed now, as a closed window closes it (its last log
    // lines are written), and the program ends with status 1 without
    // returning. The backend makes no display call while the window closes.
    [[noreturn]] virtual void displayLost() = 0;

  protected:
    ~Platform() = default;
};

// What install puts under the platform.
struct BackendParts {
    VideoBackend *video = nullptr;
    MusicEngine *music = nullptr;
    // Whose input a script may play (ORBEX_SCRIPT, ORBEX_CLOCK): never,
    // when one is given, or always (no script is an empty one).
    enum class Script { Never, WhenGiven, Always } script = Script::Never;
};

// A backend as main lists it: ORBEX_VIDEO's value, and how it is opened and
// closed. install returns false after a line on standard error when the
// backend cannot run here; shutdown closes what install opened.
struct Backend {
    const char *name;
    bool (*install)(Platform &platform, BackendParts *parts);
    void (*shutdown)();
    // Its command line is the letters alone (the page's ?args=), its
    // magazine already in place: a word there never names a magazine.
    bool lettersOnly = false;
    // It can show a message box before the viewer runs, so a start that
    // cannot go on says why where nobody reads standard error.
    bool showsBoxes = false;
};

} // namespace orbex
