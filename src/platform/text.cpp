#include "platform/text.h"

#include "platform/internal.h"

namespace orbex {

void showArticleText(const ArticleText &text) {
    if (VideoBackend *backend = videoBackend())
        backend->articleText(text);
}

} // namespace orbex
