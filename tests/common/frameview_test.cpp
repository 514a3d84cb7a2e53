// A shown frame as RGB and as RGBA: both give every pixel the same colour,
// whatever the depth, the channel masks or the rows asked for; the widening
// step that the browser's SIMD conversion uses agrees with the rounding.
#include "common/frameview.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <vector>

namespace orbex::test {
namespace {

struct Layout {
    const char *name;
    int depth;
    DWORD red, green, blue;
};

void PrintTo(const Layout &layout, std::ostream *out) { *out << layout.name; }

class FrameViewTest : public ::testing::TestWithParam<Layout> {};

TEST_P(FrameViewTest, RgbaRowsAreTheRgbFramesPixels) {
    const Layout &layout = GetParam();
    constexpr int WIDTH = 37; // no multiple of any step
    constexpr int HEIGHT = 5;
    const int pitch = WIDTH * layout.depth / 8 + 3;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(pitch) * HEIGHT);
    std::mt19937 random(7);
    for (std::uint8_t &b : pixels)
        b = static_cast<std::uint8_t>(random());
    const FrameView frame{pixels.data(), WIDTH, HEIGHT, pitch, layout.depth, layout.red, layout.green, layout.blue};
    const std::vector<std::uint8_t> rgb = frameToRgb(frame);
    std::vector<std::uint8_t> rgba(WIDTH * HEIGHT * 4, 0x5A);
    frameToRgba(frame, 1, 3, rgba.data());
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < WIDTH; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * WIDTH + x;
            if (y < 1 || y > 3) {
                EXPECT_EQ(rgba[4 * at], 0x5A) << "row " << y << " was not asked for";
                continue;
            }
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(rgba[4 * at + c], rgb[3 * at + c]) << x << "," << y << " channel " << c;
            ASSERT_EQ(rgba[4 * at + 3], 255);
        }
    // Without pixels: black rows.
    frameToRgba(FrameView{nullptr, WIDTH, HEIGHT, pitch, layout.depth}, 0, 0, rgba.data());
    EXPECT_EQ(rgba[0] | rgba[1] | rgba[2], 0);
    EXPECT_EQ(rgba[3], 255);
}

INSTANTIATE_TEST_SUITE_P(Layouts, FrameViewTest,
                         ::testing::Values(Layout{"bgr24", 24, 0, 0, 0}, Layout{"rgb565", 16, 0xF800, 0x07E0, 0x001F},
                                           Layout{"rgb555", 16, 0x7C00, 0x03E0, 0x001F},
                                           Layout{"rgb655", 16, 0xFC00, 0x03E0, 0x001F},
                                           Layout{"rgb556", 16, 0xF800, 0x07C0, 0x003F},
                                           Layout{"odd", 16, 0x0007, 0x0038, 0x7E00}),
                         [](const auto &info) { return std::string(info.param.name); });

// Every channel width of a 16-bit pixel: where a step fits, it is the
// rounding's for every value; the widths the display offers all fit.
TEST(ChannelWidening, AgreesWithTheRoundingForEveryValue) {
    for (std::uint32_t bits = 1; bits <= 8; ++bits) {
        const DWORD mask = ((1u << bits) - 1) << 3;
        const ChannelWidening step = channelWidening(mask);
        if (bits == 5 || bits == 6) {
            EXPECT_TRUE(step.fits) << bits << " bits";
        }
        if (!step.fits)
            continue;
        const std::uint32_t max = (1u << bits) - 1;
        for (std::uint32_t v = 0; v <= max; ++v)
            ASSERT_EQ((v * step.multiplier + step.add) >> step.shift, (v * 255 + max / 2) / max) << bits << " bits";
        EXPECT_LE(max * step.multiplier + step.add, 0xFFFFu);
    }
}

} // namespace
} // namespace orbex::test
