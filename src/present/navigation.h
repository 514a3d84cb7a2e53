// Edge scrolling and the two kinds of link the page finds under the pointer.
#pragma once

#include <cstdint>

namespace orbex {

// Called by drawFrame at the start of every viewing frame.
void scrollAtEdges();
// Called by drawArticle for a clicked article link.
void followArticleLink(std::int32_t target, std::int32_t line);
// Called by drawArticle for a clicked music link.
void followMusicLink(const char *name);

} // namespace orbex
