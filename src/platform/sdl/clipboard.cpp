#include <cstdio>

#include "common/articletext.h"
#include "platform/sdl/internal.h"

namespace orbex::sdl {

// Made once per article (and when a position changes its lines), not at the
// key press: by then the viewer may have moved on to the next article.
void SdlBackend::articleText(const ArticleText &text) {
    if (!text.shown) {
        copyText.clear();
        copySelection = copyVersion = 0;
        return;
    }
    if (!copyText.empty() && text.selection == copySelection && text.version == copyVersion)
        return;
    copyText = clipboardUtf8(text);
    copySelection = text.selection;
    copyVersion = text.version;
}

// With no article shown (start and end picture) or an empty one, the
// clipboard keeps what it had.
void SdlBackend::copyArticleText() {
    if (!copyText.empty() && SDL_SetClipboardText(copyText.c_str()) != 0)
        std::fprintf(stderr, "orbex: the clipboard did not take the article: %s\n", SDL_GetError());
}

} // namespace orbex::sdl
