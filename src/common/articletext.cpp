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
    const TextLine &here = text.lines[line];
    const std::int32_t end = text.lines[line + 1].firstCell;
    // A line feed stands in column 0 of the line it starts.
    std::int32_t next = line == 0 || here.afterLineFeed ? 1 : 0;
    for (std::int32_t c = here.firstCell; c < end; ++c) {
        const TextCell &cell = text.cells[c];
        for (; next < cell.column; ++next)
            out += ' ';
        out += utf8Of(textCodePoint(cell.code));
        next = next > cell.column ? next + 1 : cell.column + 1;
    }
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
