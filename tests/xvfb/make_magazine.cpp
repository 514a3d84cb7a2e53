// Writes the tiny magazine of the window test into the folder given, with
// the colour-depth choice given as the second byte of its orbex.cfg:
//   window_magazine FOLDER [DEPTH_CHOICE]   (default 1)
// Every picture is one flat colour so that a pixel tells which is on screen:
// start picture red, background blue, end picture green. Every printable
// glyph of the font is a full 8x16 block. Article 1 has an article link on
// its third line to article 2, whose odd lines are filled with green blocks
// and whose third line links back to article 1.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/magazine.h"
#include "support/page_files.h"
#include "support/pictures.h"

namespace orbex::test {
namespace {

// Normal orange, hover cyan.
std::string link(const char *article) { return articleLink(article, "0", 0xFFC800, 0x00FFFF, std::string(60, '#')); }

std::string archive() {
    // Umlauts the font leaves blank, for the clipboard.
    const std::string contents = "d\nInhalt: Gr\xFC\xDF"
                                 "e aus K\xF6ln\n\n" +
                                 link("2") + "\n";
    // Long enough that edge scrolling takes about ten seconds to reach its end.
    std::vector<std::string> lines(200);
    for (std::size_t n = 1; n < lines.size(); n += 2)
        lines[n] = std::string(70, '#');
    // A link back at the place of the contents page's link.
    lines[2] = link("1");
    std::string article = " Zweiter Artikel\nDie Redaktion\n\n" + colourCode(0, 255, 0);
    for (const std::string &line : lines)
        article += line + "\n";
    return contents + '\x9E' + article;
}

} // namespace
} // namespace orbex::test

int main(int argc, char **argv) {
    using namespace orbex::test;
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: window_magazine FOLDER [DEPTH_CHOICE]\n");
        return 2;
    }
    TestMagazine magazine;
    magazine.startPicture = solidRaw(200, 40, 30);
    magazine.background = solidPcx(640, 480, 20, 60, 180);
    magazine.endPicture = solidPcx(640, 480, 30, 160, 60);
    // Only printable ASCII is visible: the zeros behind a text and the line
    // ends are drawn as characters too.
    magazine.font = fontFile(32768, [](int g, int, int) { return g >= 0x21 && g <= 0x7E; });
    magazine.archive = archive();
    magazine.config = Bytes{1, static_cast<std::uint8_t>(argc == 3 ? std::atoi(argv[2]) : 1), 1};
    magazine.write(argv[1]);
    return 0;
}
