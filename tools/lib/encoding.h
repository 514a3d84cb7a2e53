// Windows-1252, the viewer's character set, against Unicode: the font maps
// byte values to code points, the article sources are UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace orbex {

// The code point that a Windows-1252 byte stands for; 0 for the five bytes
// the code page leaves undefined.
std::uint32_t cp1252CodePoint(std::uint8_t byte);
// The byte for a code point, or -1 when Windows-1252 has none.
int cp1252Byte(std::uint32_t codePoint);

// Decodes one UTF-8 sequence at text[pos]; advances pos. Returns false on a
// malformed sequence (pos then stands behind the bad byte).
bool nextUtf8(const std::string &text, std::size_t &pos, std::uint32_t &codePoint);
// A code point as UTF-8, for messages.
std::string utf8Of(std::uint32_t codePoint);

} // namespace orbex
