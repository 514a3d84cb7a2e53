#include "present/article.h"

namespace orbex {

void drawArticle(std::uint8_t *, std::int32_t) {}

} // namespace orbex
