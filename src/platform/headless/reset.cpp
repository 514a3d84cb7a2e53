#include "display/display.h"
#include "music/music.h"
#include "picture/assets.h"
#include "picture/pcx.h"
#include "picture/pixelformat.h"
#include "platform/clock.h"
#include "platform/headless/headless.h"
#include "present/frame.h"
#include "shell/config.h"
#include "shell/startup.h"
#include "shell/windowproc.h"
#include "text/archive.h"
#include "text/font.h"

namespace orbex::headless {

void resetViewer() {
    resetDisplay();
    resetWindowSystem();
    reset();
    install(false);
    resetClock();
    resetStartup();
    resetConfig();
    resetWindowProc();
    resetArchive();
    resetFont();
    resetPixelFormat();
    resetPcx();
    resetAssets();
    resetFrame();
    resetMusic();
}

} // namespace orbex::headless
