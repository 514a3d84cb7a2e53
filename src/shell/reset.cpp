#include "shell/reset.h"

#include <memory>

#include "base/ownfiles.h"
#include "base/settings.h"
#include "common/zipfolder.h"
#include "display/display.h"
#include "music/music.h"
#include "picture/pcx.h"
#include "picture/pictures.h"
#include "picture/pixelformat.h"
#include "present/frame.h"
#include "present/input.h"
#include "present/layout.h"
#include "present/pagetext.h"
#include "text/archive.h"
#include "text/font.h"

namespace orbex {

namespace {

// In place: some of the state is megabytes, too big for a temporary.
template <typename... State> void startAfresh(State &...state) { (std::construct_at(&state), ...); }

} // namespace

void resetViewer() {
    releaseDisplayObjects();
    // Every subsystem keeps all of its variables in one of these.
    startAfresh(viewerSettings, runState, ownFilesState, archiveState, fontState, pixelFormat, indexedPicture, pictures,
                musicState, mouseState, frameState, layoutState, pageTextState);
    // The magazine's zip, mounted as its folder (shell/magazine.cpp).
    unmountZip();
}

} // namespace orbex
