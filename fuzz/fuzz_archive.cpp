// Any bytes as the article archive, laid out as the viewer does: every
// article selected (and numbers outside the archive), frames drawn at both
// depths at several scroll positions, with the pointer over the lines and
// the left button held so that links are followed. The first bytes are the
// choices: scroll positions, pointer paths, switches, 16-bit layout, pitch.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "base/settings.h"
#include "common/geometry.h"
#include "demo_module.h"
#include "picture/pictures.h"
#include "picture/pixelformat.h"
#include "present/frame.h"
#include "present/input.h"
#include "support.h"
#include "text/archive.h"

namespace {

using namespace orbex;

constexpr std::size_t CHOICES = 12;
// Articles drawn from the archive's start; the rest are only selected.
constexpr std::int32_t DRAWN_ARTICLES = 8;
// Selecting scans the archive from its start: a bound keeps a run short.
constexpr std::int32_t SELECTED_ARTICLES = 512;

std::vector<std::uint8_t> frame;

void drawOne(std::uint8_t depth, const fuzz::Choices &choices, float scroll, std::uint32_t step) {
    // At 16 bits one of the four layouts packing knows.
    fuzz::useDepth(depth == 24 ? 0 : 1 + ((choices.byte(5) >> 4) & 3));
    const std::int32_t pitch = SCREENWIDTH * (depth / 8) + (choices.byte(6) & 15);
    frame.assign(static_cast<std::size_t>(pitch) * SCREENHEIGHT, 0);
    ScrollPosition = scroll;
    // The pointer wanders over the page, now and then past its edges.
    nMouseX = static_cast<std::int32_t>((choices.byte(2) * 5u + step * 41u) % 700u) - 30;
    nMouseY = static_cast<std::int32_t>((choices.byte(4) * 3u + step * 23u) % 520u) - 20;
    bLeftButton = 1;
    bLinkTaken = 0;
    ViewerMode = MODE_VIEWING;
    drawFrame(LockedFrame(frame.data(), pitch));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::enterScratchFolder("archive");
    // Modules that music links may name, so that following one plays music.
    if (!fuzz::writeFile("extreme2.xm", demoModule(1)) || !fuzz::writeFile("modul2.xm", demoModule(0)))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::Choices choices(data, size, CHOICES);
    if (!fuzz::writeFile("data/orbex.dat", choices.rest(), choices.restSize()))
        return 0;
    fuzz::resetViewer();
    const std::uint8_t flags = choices.byte(5);
    bPointerOn = flags & 1;
    bShowFrameRate = (flags >> 1) & 1;
    nPointerChoice = (flags >> 2) & 1 ? 1 : 2;
    // The pointer picture all opaque, so that it is drawn across the edges.
    if ((flags >> 6) & 1)
        abCursorMask.fill(1);
    // A press that a later frame lets go, and edge scrolling at odd steps.
    bMouseOn = 0;
    dwFrames = static_cast<float>(choices.byte(7));
    fScrollStep = static_cast<float>(static_cast<std::int8_t>(choices.byte(8))) / 8.0f;

    loadArchive();
    std::int32_t articles = 1;
    for (std::size_t p = 0; p < archiveState.archiveEnd; ++p)
        if (ArticleArchive[p] == ARTICLE_SEPARATOR)
            ++articles;
    // Every article is selected; the first ones are drawn too.
    for (std::int32_t n = 1; n <= std::min(articles, SELECTED_ARTICLES); ++n)
        selectArticle(n);
    std::vector<std::int32_t> numbers;
    for (std::int32_t n = 1; n <= std::min(articles, DRAWN_ARTICLES); ++n)
        numbers.push_back(n);
    // One number outside the archive: each costs a scan of the whole buffer.
    const std::int32_t outside[] = {articles + 1,
                                    articles + 2,
                                    0,
                                    -1,
                                    static_cast<std::int8_t>(choices.byte(9)),
                                    std::numeric_limits<std::int32_t>::max(),
                                    std::numeric_limits<std::int32_t>::min()};
    numbers.push_back(outside[choices.byte(9) % 7]);

    const float scrollA = static_cast<float>(static_cast<std::int8_t>(choices.byte(0))) / 2.0f;
    const float scrollB = static_cast<float>(static_cast<std::int8_t>(choices.byte(1))) * 0.37f;
    const auto farScroll = static_cast<float>(static_cast<std::int16_t>(choices.byte(10) | choices.byte(11) << 8));
    std::uint32_t step = 0;
    for (std::int32_t n : numbers) {
        nArticle = n;
        selectArticle(n);
        drawOne(24, choices, scrollA, step++);
        drawOne(16, choices, scrollB, step++);
        // A followed link shows its article next frame, from the link's line.
        drawOne(step % 2 == 0 ? 24 : 16, choices, ScrollPosition, step);
        ++step;
    }
    drawOne(24, choices, farScroll, step++);
    drawOne(16, choices, -farScroll, step++);
    return 0;
}
