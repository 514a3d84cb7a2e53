// The viewer's texts are Windows-1252 bytes; modern APIs want UTF-8.
#pragma once

#include <string>

namespace orbex {

std::string cp1252ToUtf8(const char *text);

} // namespace orbex
