// The font source (a hex glyph list) built into the viewer's font file and
// read back by the viewer.
#include <algorithm>

#include "files.h"
#include "fontsource.h"
#include "platform/headless/headless.h"
#include "support/reports.h"
#include "support/viewer_test.h"
#include "text/font.h"

namespace orbex::test {
namespace {

class FontSourceTest : public ViewerTest {};

TEST_F(FontSourceTest, FontLoadsIntoTheViewerGlyphForGlyph) {
    Report report;
    auto glyphs = parseHexFont("# a comment\n"
                               "0041:0000000018242442427E424242420000\n"
                               "00C4:2424000018242442427E424242420000\n"
                               "20AC:000000000C12207C207C2020120C0000\n"
                               // Control pictures must not reach glyphs 0 and 10.
                               "0000:FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF\n"
                               "000A:FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF\n"
                               "0020:FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF\n"
                               // A wide glyph is squeezed: column pairs 0..1 and 14..15 set.
                               "2030:C003C003C003C003C003C003C003C003C003C003C003C003C003C003C003C003\n",
                               report);
    ASSERT_TRUE(report.ok());
    std::vector<std::uint8_t> font = buildFont(glyphs, report);
    ASSERT_EQ(font.size(), FONT_FILE_SIZE);
    EXPECT_TRUE(hasWarning(report, "0x42")); // "B" has no glyph here
    EXPECT_TRUE(std::all_of(font.begin(), font.end(), [](std::uint8_t b) { return b <= 1; }));
    ASSERT_TRUE(writeBytes("data/chars.168", font));

    loadFont();
    EXPECT_TRUE(headless::messageBoxes().empty());
    // Whatever the glyph stride of the buffer, columns are 32 rows apart.
    const std::size_t stride = FontBitmap.size() / 256;
    auto pixel = [stride](int glyph, int column, int row) { return FontBitmap[glyph * stride + column * 32 + row]; };
    // "A": row 5 is 0x24 (columns 2 and 5), row 9 is 0x7E (columns 1..6).
    EXPECT_EQ(pixel('A', 2, 5), 1);
    EXPECT_EQ(pixel('A', 5, 5), 1);
    EXPECT_EQ(pixel('A', 0, 5), 0);
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(pixel('A', c, 9), c >= 1 && c <= 6 ? 1 : 0) << c;
    EXPECT_EQ(pixel(0xC4, 2, 0), 1); // the dots of "Ä"
    EXPECT_EQ(pixel(0x80, 4, 4), 1); // "€" through Windows-1252
    EXPECT_EQ(pixel(0x89, 0, 7), 1);
    EXPECT_EQ(pixel(0x89, 7, 7), 1);
    EXPECT_EQ(pixel(0x89, 3, 7), 0);
    for (int glyph : {0, 10, 13, 32})
        for (std::size_t i = 0; i < stride; ++i)
            ASSERT_EQ(FontBitmap[glyph * stride + i], 0) << glyph;
    EXPECT_EQ(fontGlyph(font, 'A')[9], 0x7E);
}

TEST_F(FontSourceTest, FontSourceErrorsNameTheLine) {
    Report report;
    parseHexFont("0041:00000000182424\n\nzz41:0000000018242442427E424242420000\n", report);
    ASSERT_EQ(report.errors.size(), 2u);
    EXPECT_NE(report.errors[0].find("line 1"), std::string::npos);
    EXPECT_NE(report.errors[1].find("line 3"), std::string::npos);
}

TEST_F(FontSourceTest, SampleFontHasEveryCharacter) {
    std::vector<std::uint8_t> source;
    ASSERT_TRUE(readBytes(ORBEX_MAGAZINE_SOURCES "/font.hex", source));
    Report report;
    buildFont(parseHexFont(std::string(source.begin(), source.end()), report), report);
    EXPECT_TRUE(report.ok());
    EXPECT_TRUE(report.warnings.empty()) << report.warnings.front();
}

} // namespace
} // namespace orbex::test
