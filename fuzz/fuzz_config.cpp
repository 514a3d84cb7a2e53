// Any bytes as "orbex.cfg", read by the start-up's readers: the three bytes
// one by one, the display set-up's depth rule over a headless display that
// offers the depths and 16-bit masks the input's first byte chooses, the
// pixel format, and the music start's rate.
#include <cstdint>
#include <vector>

#include "base/config.h"
#include "base/settings.h"
#include "display/display.h"
#include "music/music.h"
#include "picture/pixelformat.h"
#include "platform/headless/headless.h"
#include "platform/testing.h"
#include "shell/startup.h"
#include "shell/windowproc.h"
#include "support.h"

namespace {

using namespace orbex;

constexpr int DEPTHS[] = {8, 15, 16, 24, 32};
// 5-6-5, 5-5-5, and two that no layout names.
constexpr DWORD MASKS[][3] = {{0xF800, 0x07E0, 0x001F}, {0x7C00, 0x03E0, 0x001F}, {0x001F, 0x07E0, 0xF800}, {0, 0, 0}};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::enterScratchFolder("config");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::Choices choices(data, size, 1);
    const std::uint8_t display = choices.byte(0);
    // A first byte with the top bit set leaves the file missing.
    if ((display & 0x80) != 0)
        fuzz::removeAll("orbex.cfg");
    else if (!fuzz::writeFile("orbex.cfg", choices.rest(), choices.restSize()))
        return 0;
    fuzz::resetViewer();
    for (int n = 1; n <= 3; ++n)
        readConfigByte(n);

    std::vector<int> offered;
    for (int i = 0; i < 5; ++i)
        if ((display >> i) & 1)
            offered.push_back(DEPTHS[i]);
    offerDepths(offered);
    const DWORD *masks = MASKS[(display >> 5) & 3];
    setMasks16(masks[0], masks[1], masks[2]);
    if (doInit(nullptr, SW_SHOWDEFAULT, viewerWindowProc, reportInitFailure) != 0) {
        detectPixelFormat();
        packColour(255, 128, 1);
    }
    startMusic(hViewerWindow);
    if (auto pointer = readConfigByte(3))
        nPointerChoice = *pointer;
    stopMusic();
    releaseDisplayObjects();
    return 0;
}
