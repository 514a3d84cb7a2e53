// The article page: the layout pass over the current text with its colour
// codes, article links and music links.
#pragma once

#include <cstdint>

#include "picture/lockedframe.h"

namespace orbex {

constexpr std::uint8_t COLOUR_CODE = 0xA2;
constexpr std::uint8_t ARTICLE_LINK_CODE = 0x9F;
constexpr std::uint8_t MUSIC_LINK_CODE = 0xA8;

// Called by drawFrame in viewing mode after the background copy.
void drawArticle(LockedFrame frame);

} // namespace orbex
