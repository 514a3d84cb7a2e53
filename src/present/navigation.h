// Edge scrolling and the two kinds of link the page finds under the pointer.
#pragma once

#include <cstdint>

namespace orbex {

// Called by drawFrame at the start of every viewing frame.
void scrollAtEdges();
// Called by drawArticle for a clicked article link: target article, line.
void followArticleLink(std::int32_t target, std::int32_t line);
// Called by drawArticle for a clicked music link: the module file's name.
void followMusicLink(const char *name);
// Asked by drawArticle for a hovered link: a press counts and has not yet
// followed a link, so one press follows at most one.
bool linkPressPending();

} // namespace orbex
