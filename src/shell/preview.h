// orbex-tool preview's way back in after a rebuild, in the browser: the page
// writes the new archive, font and pictures into the magazine's folder and posts
// PREVIEW_REOPEN_MESSAGE (common/start.h). A normal run never gets it.
#pragma once

#include <cstdint>

namespace orbex {

// Reads the archive, the font and the later pictures again and shows
// article at line, past the start picture; the music plays on.
void reopenMagazine(std::int32_t article, std::int32_t line);

} // namespace orbex
