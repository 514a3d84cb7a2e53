// The article's text beside the picture: the viewer hands it down whenever
// the article or the view changes, and the installed backend may offer it
// (a screen reader, find and copy in the page, the clipboard).
#pragma once

#include "common/articletext.h"

namespace orbex {

// Called by the viewer's page text; the pointers in text stay valid until
// the next call or the next selection.
void showArticleText(const ArticleText &text);

} // namespace orbex
