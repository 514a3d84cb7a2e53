// The browser backend (WebAssembly): frames to the page's canvas, paced by
// its animation frames; DOM input as window messages; message boxes as a
// dialog in the page; the music over chiptune3. The page (web/orbex.js) does
// the browser's side of each, through the calls of src/platform/web/orbex_web.h. A script
// in the page's address (ORBEX_SCRIPT) plays the input instead of the page,
// as headless, so that both give the same frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/backend.h"

namespace orbex::web {

// Opens the backend (Backend::install); the page is always there.
bool install(Platform &platform, BackendParts *parts);
void shutdown();

// As main lists it: the one backend of the browser build.
inline constexpr Backend BACKEND{"web", install, shutdown, true};

// Called by install: the page's music.
MusicEngine *pageMusic();

// The article's text as the page was sent it (text.cpp): each message is
// the JSON object the page makes its text of, the whole text for another
// article, the lines that changed for the same one written again, else the
// view alone. Called by the video backend whenever the viewer hands down
// the text.
class TextSender {
  public:
    std::string message(const ArticleText &text);

  private:
    bool sent = false;
    std::uint32_t selection = 0;
    std::uint32_t version = 0;
    std::vector<std::uint64_t> lines; // what each line sent shows (a hash of its cells)
};

} // namespace orbex::web
