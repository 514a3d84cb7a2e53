#include "platform/headless/headless.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "common/codepage.h"
#include "platform/sound/sound.h"

namespace orbex::headless {

namespace {

class HeadlessBackend final : public VideoBackend {
  public:
    explicit HeadlessBackend(Platform &platform) : platform(platform) {
        player.setCapturePath(platform.userPath(std::getenv("ORBEX_AUDIO_CAPTURE")).c_str());
    }

    bool openWindow(const char *) override { return true; }
    // A script plays all the input: the platform never asks for these.
    void pumpEvents(bool) override {}
    bool cursorPos(POINT *) override { return false; }
    void hideSystemCursor() override { cursorHidden = true; }
    void messageBox(const char *text, const char *caption) override {
        boxes.emplace_back(text);
        std::fprintf(stderr, "%s: %s\n", cp1252ToUtf8(caption).c_str(), cp1252ToUtf8(text).c_str());
    }
    // The platform keeps the frame; nobody looks at it here.
    void presentFrame(const FrameView &) override {}
    // A script's file names are the user's: taken from the start folder.
    void shot(const std::string &name, const FrameView &frame) override {
        std::string path = platform.userPath(name.c_str());
        std::string why;
        if (!platform.writePng(path, frame, why))
            std::fprintf(stderr, "orbex: cannot write %s: %s\n", path.c_str(), why.c_str());
    }

    Platform &platform;
    bool cursorHidden = false;
    std::vector<std::string> boxes;
    // No sound device: the music moves on with the clock.
    sound::ModulePlayer player{nullptr};
};

std::optional<HeadlessBackend> backend;

} // namespace

bool install(Platform &platform, BackendParts *parts) {
    backend.emplace(platform);
    *parts = BackendParts{&*backend, &backend->player, BackendParts::Script::Always};
    return true;
}

void shutdown() { backend.reset(); }

const std::vector<std::string> &messageBoxes() {
    static const std::vector<std::string> none;
    return backend ? backend->boxes : none;
}

bool systemCursorHidden() { return backend && backend->cursorHidden; }

std::vector<std::uint8_t> lastFrameRgb() {
    return frameToRgb(backend ? backend->platform.shownFrame() : FrameView{nullptr, SCREENWIDTH, SCREENHEIGHT});
}

} // namespace orbex::headless
