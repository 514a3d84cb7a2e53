#include "common/codepage.h"

namespace orbex {

namespace {

// 0x80..0x9F of Windows-1252; 0 where the code page leaves a hole.
constexpr std::uint16_t HIGH_CONTROLS[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                             0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                             0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                             0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

std::uint32_t cp1252CodePoint(std::uint8_t byte) {
    if (byte >= 0x80 && byte < 0xA0)
        return HIGH_CONTROLS[byte - 0x80];
    return byte;
}

int cp1252Byte(std::uint32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<int>(codePoint);
    for (int i = 0; i < 32; ++i)
        if (HIGH_CONTROLS[i] != 0 && HIGH_CONTROLS[i] == codePoint)
            return 0x80 + i;
    return -1;
}

void appendUtf8(std::string &out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string utf8Of(std::uint32_t cp) {
    std::string out;
    appendUtf8(out, cp);
    return out;
}

std::string cp1252ToUtf8(const char *text) {
    std::string out;
    for (const char *p = text; *p != 0; ++p) {
        std::uint32_t cp = cp1252CodePoint(static_cast<std::uint8_t>(*p));
        out += utf8Of(cp != 0 ? cp : 0xFFFD);
    }
    return out;
}

bool nextUtf8(const std::string &text, std::size_t &pos, std::uint32_t &codePoint) {
    auto lead = static_cast<std::uint8_t>(text[pos++]);
    int more = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        codePoint = lead & 0x1F;
        more = 1;
    } else if ((lead & 0xF0) == 0xE0) {
        codePoint = lead & 0x0F;
        more = 2;
    } else if ((lead & 0xF8) == 0xF0) {
        codePoint = lead & 0x07;
        more = 3;
    } else {
        return false;
    }
    for (int i = 0; i < more; ++i) {
        if (pos >= text.size())
            return false;
        auto b = static_cast<std::uint8_t>(text[pos]);
        if ((b & 0xC0) != 0x80)
            return false;
        codePoint = (codePoint << 6) | (b & 0x3F);
        ++pos;
    }
    // Overlong forms and surrogates are not text.
    static constexpr std::uint32_t MINIMUM[4] = {0, 0x80, 0x800, 0x10000};
    return codePoint >= MINIMUM[more] && codePoint <= 0x10FFFF && (codePoint < 0xD800 || codePoint > 0xDFFF);
}

std::string utf8ToCp1252(const std::string &text) {
    std::string out;
    for (std::size_t pos = 0; pos < text.size();) {
        std::uint32_t codePoint = 0;
        int byte = nextUtf8(text, pos, codePoint) ? cp1252Byte(codePoint) : -1;
        out += byte > 0 ? static_cast<char>(byte) : '?';
    }
    return out;
}

std::string terminalText(std::string_view text) {
    static constexpr char HEX[] = "0123456789abcdef";
    const std::string whole(text);
    std::string out;
    out.reserve(text.size());
    auto escape = [&](unsigned value) {
        out += "\\x";
        out += HEX[(value >> 4) & 0xF];
        out += HEX[value & 0xF];
    };
    for (std::size_t pos = 0; pos < whole.size();) {
        const std::size_t start = pos;
        std::uint32_t codePoint = 0;
        if (!nextUtf8(whole, pos, codePoint)) {
            // One byte at a time: the next may start a good sequence.
            escape(static_cast<std::uint8_t>(whole[start]));
            pos = start + 1;
        } else if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F)) {
            escape(codePoint);
        } else {
            out.append(whole, start, pos - start);
        }
    }
    return out;
}

} // namespace orbex
