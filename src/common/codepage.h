// Windows-1252, the code page of every text the viewer shows or writes, and
// Unicode, which modern APIs (message boxes, terminals) and the magazine
// sources use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orbex {

// The code point that a Windows-1252 byte stands for; 0 for the five bytes
// the code page leaves undefined.
std::uint32_t cp1252CodePoint(std::uint8_t byte);
// The byte for a code point, or -1 when Windows-1252 has none.
int cp1252Byte(std::uint32_t codePoint);
// A code point as UTF-8.
std::string utf8Of(std::uint32_t codePoint);
// The same, appended: a line's characters go by the thousand.
void appendUtf8(std::string &out, std::uint32_t codePoint);
// A zero-terminated Windows-1252 text as UTF-8; undefined bytes become U+FFFD.
// Called by the backends for message boxes and the window title, and by
// orbex-tool.
std::string cp1252ToUtf8(const char *text);
// Decodes one UTF-8 sequence at text[pos]; advances pos. Returns false on a
// malformed sequence (pos then stands behind the bad byte). Used by
// orbex-tool's readers of sources.
bool nextUtf8(const std::string &text, std::size_t &pos, std::uint32_t &codePoint);
// UTF-8 text (a message naming a file) as Windows-1252 for a message box;
// what the code page lacks becomes "?". Called by main.
std::string utf8ToCp1252(const std::string &text);
// Text bound for a terminal, with every control character escaped: C0, DEL
// and C1 (U+0080 to U+009F, which some terminals obey as escapes) as \xNN,
// and bytes that are no UTF-8 as \xNN too, so a file's bytes quoted in a
// message can neither move the cursor, hide what follows nor set the title.
// A backslash stays as it is. Called wherever a tool or the viewer prints a
// name or text that came from a file.
std::string terminalText(std::string_view text);

} // namespace orbex
