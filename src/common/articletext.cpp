#include "common/articletext.h"

#include "common/codepage.h"

namespace orbex {

std::uint32_t textCodePoint(std::uint8_t code) {
    if (code < 0x20 || code == 0x7F)
        return ' ';
    std::uint32_t codePoint = cp1252CodePoint(code);
    return codePoint != 0 ? codePoint : 0xFFFD;
}

std::string lineUtf8(const ArticleText &text, std::int32_t line) {
    std::string out;
    if (line < 0 || line >= text.lineCount)
        return out;
    forEachRun(text, line, [&](const TextRun &run) { out += run.utf8; });
    return out;
}

std::string clipboardUtf8(const ArticleText &text) {
    std::string out;
    for (std::int32_t line = 0; line < text.lineCount; ++line) {
        if (line > 0 && text.lines[line].afterLineFeed)
            out += '\n';
        out += lineUtf8(text, line);
    }
    return out;
}

} // namespace orbex
