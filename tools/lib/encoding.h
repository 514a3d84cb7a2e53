// UTF-8 decoding for the article sources; the code page itself is the
// viewer's (common/codepage.h).
#pragma once

#include <cstdint>
#include <string>

#include "common/codepage.h"

namespace orbex {

// Decodes one UTF-8 sequence at text[pos]; advances pos. Returns false on a
// malformed sequence (pos then stands behind the bad byte).
bool nextUtf8(const std::string &text, std::size_t &pos, std::uint32_t &codePoint);

} // namespace orbex
