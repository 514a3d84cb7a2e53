#include "platform/install.h"

#include <cstdio>
#include <cstdlib>

#include "platform/internal.h"
#include "platform/places.h"
#include "platform/png.h"

namespace orbex {

namespace {

// What a backend may call, each a call into the platform's units.
class PlatformCalls final : public Platform {
  public:
    void postInput(UINT message, WPARAM wParam, LPARAM lParam) override { postInputMessage(message, wParam, lParam); }
    void loseSurfaces() override { orbex::loseSurfaces(); }
    FrameView shownFrame() override { return orbex::shownFrame(); }
    void saveScreenshot() override {
        FrameView frame = orbex::shownFrame();
        if (frame.pixels == nullptr)
            return;
        std::string name;
        std::string why;
        if (!writeNewShot(shotsFolder(), frameToRgb(frame), frame.width, frame.height, &name, why))
            std::fprintf(stderr, "orbex: cannot write %s: %s\n", name.c_str(), why.c_str());
    }
    bool writePng(const std::string &path, const FrameView &frame, std::string &why) override {
        return writeRgbPng(path, frameToRgb(frame), frame.width, frame.height, why);
    }
    std::string userPath(const char *path) override { return orbex::userPath(path); }
    // The viewer closes now, inside whatever backend call found the loss:
    // returning there would go on drawing on a display that is gone.
    [[noreturn]] void displayLost() override {
        std::fprintf(stderr, "orbex: the display went away, so the viewer has stopped\n");
        closeWindowNow();
        std::_Exit(1);
    }
};

struct Installed {
    const Backend *backend = nullptr;
    BackendParts parts;
};

// Not state: the calls themselves, which keep nothing.
PlatformCalls calls;
Installed installed;

} // namespace

VideoBackend *videoBackend() { return installed.parts.video; }

MusicEngine *musicEngine() { return installed.parts.music; }

Platform &platformCalls() { return calls; }

bool installBackend(const Backend &backend, bool fromEnvironment) {
    shutdownBackend();
    BackendParts parts;
    if (!backend.install(calls, &parts))
        return false;
    installed = Installed{&backend, parts};
    useMusicEngine(parts.music);
    using Script = BackendParts::Script;
    return startAutomation(parts.script == Script::Always, fromEnvironment && parts.script != Script::Never);
}

void shutdownBackend() {
    if (installed.backend == nullptr)
        return;
    // The music stops before its device goes.
    if (installed.parts.music != nullptr)
        installed.parts.music->reset();
    installed.backend->shutdown();
    installed = Installed{};
    useMusicEngine(nullptr);
}

} // namespace orbex
