// The bytes of an article that are not text: the separator between
// articles, the colour code and the two link codes, and how far a link's
// parts reach. The viewer's layout reads them, the tools write and read
// them, and the page's loader finds the music links with them, from here.
#pragma once

#include <cstdint>

namespace orbex {

constexpr std::uint8_t ARTICLE_SEPARATOR = 0x9E;
// Then red, green, blue for the text that follows.
constexpr std::uint8_t COLOUR_CODE = 0xA2;
// An article link: the code, the article and its line as bracketed
// numbers of one or two digits, six colour bytes (normal, then hover), the
// link's text, the code again.
constexpr std::uint8_t ARTICLE_LINK_CODE = 0x9F;
// A music link: the code, the module's name up to '"', six colour bytes,
// the link's text, the code again.
constexpr std::uint8_t MUSIC_LINK_CODE = 0xA8;
// A link's text is at most this many bytes, a module's name at most this.
constexpr std::int32_t LINK_TEXT_MAX = 80;
constexpr std::int32_t MUSIC_NAME_MAX = 15;

} // namespace orbex
