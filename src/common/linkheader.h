// A link's header as the viewer reads it, whatever its bytes: the one reading
// shared by the page's layout, the tools that list an archive's links and the
// unpacker that turns them back into markup. The text is read through
// byteAt(i), which gives what lies past the text as a byte that is neither a
// digit, "]" nor '"' (the viewer reads zeros there).
//
// An article link: code, "(", target, ") " or "] ", line, ")" or "]", six
// colour bytes, its text. A number is one digit, or two when "]" follows
// them. A music link: code, the module's name up to '"' (at most
// MUSIC_NAME_MAX bytes; the byte after them is skipped either way), six
// colour bytes, its text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/textcodes.h"

namespace orbex {

template <typename Index> struct LinkHeader {
    std::int32_t target = 0, targetLine = 0;   // an article link's
    std::array<char, MUSIC_NAME_MAX> module{}; // a music link's, moduleLength bytes
    std::size_t moduleLength = 0;
    std::uint8_t normal[3]{}, hover[3]{}; // as stored: blue, green, red
    Index text{};                         // the first byte of the link's text
};

namespace linkheader {

// p moves past the second digit's extra byte.
template <typename Index, typename ByteAt> std::int32_t readNumber(const ByteAt &byteAt, Index &p) {
    if (byteAt(p + 2) == ']') {
        std::int32_t value = (byteAt(p) - 48) * 10 + (byteAt(p + 1) - 48);
        ++p;
        return value;
    }
    return byteAt(p) - 48;
}

template <typename Index, typename ByteAt> void readColours(const ByteAt &byteAt, Index p, LinkHeader<Index> &h) {
    for (Index k = 0; k < 3; ++k) {
        h.normal[k] = static_cast<std::uint8_t>(byteAt(p + k));
        h.hover[k] = static_cast<std::uint8_t>(byteAt(p + 3 + k));
    }
}

} // namespace linkheader

// opening: the index of the article link's code.
template <typename Index, typename ByteAt> LinkHeader<Index> readArticleHeader(const ByteAt &byteAt, Index opening) {
    LinkHeader<Index> h;
    Index p = opening + 2;
    h.target = linkheader::readNumber(byteAt, p);
    p += 3;
    h.targetLine = linkheader::readNumber(byteAt, p);
    p += 2;
    linkheader::readColours(byteAt, p, h);
    h.text = p + 6;
    return h;
}

// opening: the index of the music link's code.
template <typename Index, typename ByteAt> LinkHeader<Index> readMusicHeader(const ByteAt &byteAt, Index opening) {
    LinkHeader<Index> h;
    Index p = opening + 1;
    while (h.moduleLength < std::size_t{MUSIC_NAME_MAX} && byteAt(p) != '"')
        h.module[h.moduleLength++] = static_cast<char>(byteAt(p++));
    ++p;
    linkheader::readColours(byteAt, p, h);
    h.text = p + 6;
    return h;
}

} // namespace orbex
