#include "encoding.h"

namespace orbex {

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

} // namespace orbex
