#include "present/navigation.h"

namespace orbex {

void scrollAtEdges() {}

void followArticleLink(std::int32_t, std::int32_t) {}

void followMusicLink(const char *) {}

} // namespace orbex
