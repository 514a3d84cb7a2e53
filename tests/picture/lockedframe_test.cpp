#include "picture/lockedframe.h"

#include <cstdint>
#include <vector>

#include "picture/pictures.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

class LockedFrameTest : public ViewerTest {
  protected:
    void use565() {
        SCREENCOLORS = 16;
        nRedBits = 5, nGreenBits = 6, nBlueBits = 5;
    }
};

// A padded buffer: every row 10 bytes longer than its pixels, filled with 0xEE.
std::vector<std::uint8_t> paddedRows(int bytesPerPixel, std::int32_t &pitch) {
    pitch = 640 * bytesPerPixel + 10;
    return std::vector<std::uint8_t>(static_cast<std::size_t>(pitch) * 480, 0xEE);
}

std::vector<std::size_t> changedOffsets(const std::vector<std::uint8_t> &bytes) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] != 0xEE)
            out.push_back(i);
    return out;
}

TEST_F(LockedFrameTest, TwentyFourBitPixelsAreBlueGreenRedAtRowTimesPitch) {
    SCREENCOLORS = 24;
    std::int32_t pitch = 0;
    std::vector<std::uint8_t> bytes = paddedRows(3, pitch);
    LockedFrame frame(bytes.data(), pitch);
    ASSERT_TRUE(frame.drawable());
    EXPECT_EQ(frame.rowBytes(), 1920u);
    const PixelColour colour = frame.colour(10, 20, 30);
    EXPECT_EQ(colour, (PixelColour{30, 20, 10}));
    frame.put(639, 479, colour);
    const std::size_t at = 479u * static_cast<std::size_t>(pitch) + 639u * 3u;
    EXPECT_EQ(changedOffsets(bytes), (std::vector<std::size_t>{at, at + 1, at + 2}));
    EXPECT_EQ(bytes[at], 30);
    EXPECT_EQ(bytes[at + 2], 10);
    EXPECT_EQ(frame.at(639, 479), colour);
    EXPECT_EQ(frame.pixel(0, 1), bytes.data() + pitch);
}

TEST_F(LockedFrameTest, SixteenBitPixelsArePackedLowByteFirstAndTouchOnlyTwoBytes) {
    use565();
    std::int32_t pitch = 0;
    std::vector<std::uint8_t> bytes = paddedRows(2, pitch);
    LockedFrame frame(bytes.data(), pitch);
    EXPECT_EQ(frame.rowBytes(), 1280u);
    const PixelColour colour = frame.colour(100, 50, 0);
    EXPECT_EQ(colour[0], 0x80);
    EXPECT_EQ(colour[1], 0x61);
    frame.put(639, 2, colour);
    const std::size_t at = 2u * static_cast<std::size_t>(pitch) + 639u * 2u;
    EXPECT_EQ(changedOffsets(bytes), (std::vector<std::size_t>{at, at + 1}));
    EXPECT_EQ(frame.at(639, 2), (PixelColour{0x80, 0x61, 0}));
}

TEST_F(LockedFrameTest, AnUnknownLayoutGivesThePreviousPackingAndAnUnknownDepthNothing) {
    use565();
    std::uint8_t pixel[2] = {};
    LockedFrame frame(pixel, 2);
    frame.colour(255, 255, 255);
    nRedBits = 6, nGreenBits = 6, nBlueBits = 6;
    EXPECT_EQ(frame.colour(1, 2, 3), (PixelColour{0xFF, 0xFF, 0}));

    SCREENCOLORS = 8;
    EXPECT_FALSE(LockedFrame(pixel, 2).drawable());
    EXPECT_FALSE(pictureFrame(picBackground.data()).drawable());
}

TEST_F(LockedFrameTest, TheFrameHoldsExactlySixHundredFortyByFourHundredEightyPixels) {
    EXPECT_TRUE(LockedFrame::contains(0, 0));
    EXPECT_TRUE(LockedFrame::contains(639, 479));
    EXPECT_FALSE(LockedFrame::contains(-1, 0));
    EXPECT_FALSE(LockedFrame::contains(640, 0));
    EXPECT_FALSE(LockedFrame::contains(0, 480));
    EXPECT_FALSE(LockedFrame::contains(0, -1));
    EXPECT_FALSE(LockedFrame::contains(std::int64_t{INT32_MAX} + 7, 0));
}

TEST_F(LockedFrameTest, PicturesAreFramesWithRowsOfExactlySixHundredFortyPixels) {
    for (std::uint8_t depth : {24, 16}) {
        SCREENCOLORS = depth;
        const int bytes = depth / 8;
        LockedFrame picture = pictureFrame(picBackground.data());
        EXPECT_EQ(picture.pitch, 640 * bytes);
        EXPECT_EQ(picture.pixel(5, 7), picBackground.data() + (7 * 640 + 5) * bytes);
    }
}

TEST_F(LockedFrameTest, PointerPixelsComeAsTheFramesPixelsHoldThem) {
    // Before packing: red, green and blue rows of each column.
    SCREENCOLORS = 24;
    cursorColours[cursorRed(3, 4)] = 200;
    cursorColours[cursorGreen(3, 4)] = 100;
    cursorColours[cursorBlue(3, 4)] = 50;
    EXPECT_EQ(pointerColour(3, 4), (PixelColour{50, 100, 200}));
    // After: the packed bytes in two rows.
    use565();
    cursorColours[cursorLow(3, 4)] = 0x12;
    cursorColours[cursorHigh(3, 4)] = 0x34;
    EXPECT_EQ(pointerColour(3, 4), (PixelColour{0x12, 0x34, 0}));
}

} // namespace
} // namespace orbex::test
