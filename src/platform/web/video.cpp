// The browser backend's window, screen and input: the page's DOM events,
// queued by the page as window messages, and its canvas.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/files.h"
#include "platform/web/orbex_web.h"
#include "platform/web/shownframe.h"
#include "platform/web/web.h"

namespace orbex::web {

namespace {

// The page's waiting messages into the queue; true when there were any.
bool takePageEvents(Platform &platform) {
    bool posted = false;
    std::uint32_t event[3];
    while (orbex_poll_event(event) != 0) {
        platform.postInput(event[0], event[1], static_cast<LPARAM>(event[2]));
        posted = true;
    }
    return posted;
}

class WebVideo final : public VideoBackend {
  public:
    explicit WebVideo(Platform &platform) : platform(platform) {}

    bool openWindow(const char *) override {
        windowOpen = true;
        return true;
    }
    void closeWindow() override { windowOpen = false; }

    void pumpEvents(bool wait) override {
        bool posted = takePageEvents(platform);
        while (wait && !posted && windowOpen) {
            orbex_wait_event();
            posted = takePageEvents(platform);
        }
    }

    bool cursorPos(POINT *point) override {
        std::int32_t xy[2] = {0, 0};
        orbex_cursor_pos(xy);
        *point = POINT{xy[0], xy[1]};
        return true;
    }
    void hideSystemCursor() override { orbex_show_cursor(0); }
    void messageBox(const char *text, const char *caption) override { orbex_message_box(text, caption); }

    // On the canvas now; the flip returns with the browser's next animation
    // frame (with a virtual clock, after one turn of the page's event loop),
    // so the browser paints and handles input meanwhile.
    void presentFrame(const FrameView &frame) override {
        presentChangedRows(shown, frame);
        orbex_wait_frame();
    }

    // The page keeps the lines; a move of the view sends only the view.
    void articleText(const ArticleText &text) override { orbex_article_text(sentText.message(text).c_str()); }

    // Into the script's result; the page makes the PNG (black without pixels).
    void shot(const std::string &name, const FrameView &frame) override {
        std::vector<std::uint8_t> rgba(static_cast<std::size_t>(frame.width) * frame.height * 4);
        frameToRgba(frame, 0, frame.height - 1, rgba.data());
        orbex_shot(name.c_str(), rgba.data(), frame.width, frame.height);
    }

  private:
    Platform &platform;
    bool windowOpen = false;
    ShownFrame shown;
    TextSender sentText;
};

std::optional<WebVideo> video;

} // namespace

bool install(Platform &platform, BackendParts *parts) {
    video.emplace(platform);
    // The magazine arrives while the viewer runs: a file it opens on its
    // way is waited for.
    setFileWait(orbex_wait_file);
    *parts = BackendParts{&*video, pageMusic(), BackendParts::Script::WhenGiven};
    return true;
}

void shutdown() {
    setFileWait(nullptr);
    video.reset();
}

} // namespace orbex::web
