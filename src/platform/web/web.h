// The browser backend (WebAssembly): frames to the page's canvas, paced by
// its animation frames; DOM input as window messages; message boxes as a
// dialog in the page; the music over chiptune3. The page (web/orbex.js) does
// the browser's side of each, through the calls of web/orbex_web.h. A script
// in the page's address (ORBEX_SCRIPT) plays the input instead of the page,
// as headless, so that both give the same frames.
#pragma once

#include <string>

#include "platform/backend.h"

namespace orbex::web {

// Opens the backend (Backend::install); the page is always there.
bool install(Platform &platform, BackendParts *parts);
void shutdown();

// As main lists it: the one backend of the browser build.
inline constexpr Backend BACKEND{"web", install, shutdown};

// Called by install: the page's music.
MusicEngine *pageMusic();

// Called by the video backend whenever the viewer hands down the article's
// text: the JSON object the page makes its text of (text.cpp).
std::string articleTextJson(const ArticleText &text, bool withLines);

} // namespace orbex::web
