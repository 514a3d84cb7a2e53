// The browser backend (WebAssembly): frames to the page's canvas, paced by
// its animation frames; DOM input as window messages; message boxes as a
// dialog in the page; the music over chiptune3. The page (web/orbex.js) does
// the browser's side of each, through the calls of web/orbex_web.h.
#pragma once

namespace orbex::web {

// Installs the browser's window system, display and sound library, reading
// ORBEX_SCRIPT and ORBEX_CLOCK (which the page sets from its address) as the
// headless backend does; false, after a line on standard error, when either
// cannot be used.
bool install();

} // namespace orbex::web
