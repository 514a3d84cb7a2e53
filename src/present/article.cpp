#include "present/article.h"

#include "present/input.h"
#include "present/navigation.h"
#include "text/font.h"

namespace orbex {

namespace {

// Draws what the walk finds on visible lines, and follows a link clicked
// there.
struct DrawnPage {
    LockedFrame frame;

    static std::int32_t lineY(std::int32_t line) {
        return static_cast<std::int32_t>((static_cast<float>(line) - ScrollPosition) * LINE_HEIGHT + PAGE_TOP);
    }

    // Only t is rounded to single precision; the bounds around it are exact,
    // so a pointer row next to a rounded edge is judged as it really lies.
    static bool pointerOnLine(std::int32_t line) {
        const float t = (static_cast<float>(line) - ScrollPosition) * LINE_HEIGHT;
        const auto y = static_cast<double>(nMouseY);
        return y > static_cast<double>(t) + PAGE_TOP && y < static_cast<double>(t) + PAGE_TOP + LINE_HEIGHT;
    }

    static bool hovered(const PassLink &link) {
        return nMouseX > link.left && nMouseX < link.right && pointerOnLine(link.line);
    }

    bool lineBegins(const PassPoint &, std::int32_t, bool) { return true; }

    void glyph(std::uint8_t code, const PassPoint &at) const {
        drawGlyph(code, columnX(at.column), lineY(at.line), frame, at.blue, at.green, at.red);
    }

    static const std::uint8_t *linkColour(const PassLink &link) { return hovered(link) ? link.hover : link.normal; }

    void linkGlyph(std::uint8_t code, const PassPoint &at, const PassLink &, const std::uint8_t *colour) const {
        drawGlyph(code, columnX(at.column), lineY(at.line), frame, colour[0], colour[1], colour[2]);
    }

    // A followed article link ends the pass: the rest of this text belongs
    // to the article just left, and the new one is laid out from its first
    // byte next frame.
    static bool linkEnds(const PassLink &link) {
        if (!hovered(link) || !linkPressPending())
            return true;
        if (link.music) {
            followMusicLink(link.module.data());
            return true;
        }
        followArticleLink(link.target, link.targetLine);
        return false;
    }
};

} // namespace

void drawArticle(LockedFrame frame) {
    PassPoint from;
    // Nothing is drawn when no line of the buffer reaches the window.
    if (!lineStartAt(firstVisibleLine(ScrollPosition), &from))
        return;
    DrawnPage page{frame};
    walkPage(page, from, ScrollPosition);
}

} // namespace orbex
