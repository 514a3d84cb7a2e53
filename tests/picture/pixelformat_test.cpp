#include "picture/pixelformat.h"

#include "base/config.h"
#include "base/settings.h"
#include "common/geometry.h"
#include "display/display.h"
#include "platform/headless/headless.h"
#include "platform/testing.h"
#include "shell/startup.h"
#include "shell/windowproc.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

class PixelFormatTest : public ViewerTest {
  protected:
    // A display set up as the start-up does, with the configuration's second byte.
    void openDisplay(std::uint8_t depthChoice) {
        writeFile("orbex.cfg", Bytes{1, depthChoice, 1});
        ASSERT_EQ(doInit(nullptr, 0, viewerWindowProc, reportInitFailure), 1);
    }
    void setLayout(int r, int g, int b) {
        nRedBits = static_cast<std::uint8_t>(r);
        nGreenBits = static_cast<std::uint8_t>(g);
        nBlueBits = static_cast<std::uint8_t>(b);
    }
    unsigned packed() const { return bPackedLow | bPackedHigh << 8; }
};

struct Bits {
    int r, g, b;
    bool operator==(const Bits &) const = default;
};
Bits detected() { return {nRedBits, nGreenBits, nBlueBits}; }

TEST_F(PixelFormatTest, BitCountsFollowTheChannelMasks) {
    struct Case {
        DWORD r, g, b;
        Bits want;
    };
    const Case cases[] = {
        {0xF800, 0x07E0, 0x001F, {5, 6, 5}},
        {0x7C00, 0x03E0, 0x001F, {5, 5, 5}},
        {0xFC00, 0x03E0, 0x001F, {6, 5, 5}},
        {0xF800, 0x07C0, 0x003F, {5, 5, 6}},
        // Every channel is judged alone: this is 5-5-5 as far as packing knows.
        {0xF800, 0x07C0, 0x003E, {5, 5, 5}},
        {0x0F00, 0x00F0, 0x000F, {6, 6, 6}},
    };
    for (const Case &c : cases) {
        resetViewer();
        setMasks16(c.r, c.g, c.b);
        openDisplay(3);
        ASSERT_EQ(SCREENCOLORS, 16);
        detectPixelFormat();
        EXPECT_EQ(detected(), c.want) << std::hex << c.r << " " << c.g << " " << c.b;
    }
}

TEST_F(PixelFormatTest, ChoicesFourToSevenForceTheLayout) {
    const Bits forced[] = {{5, 5, 5}, {6, 5, 5}, {5, 6, 5}, {5, 5, 6}};
    for (int choice = 4; choice <= 7; ++choice) {
        resetViewer();
        setMasks16(0x7C00, 0x03E0, 0x001F);
        openDisplay(static_cast<std::uint8_t>(choice));
        detectPixelFormat();
        EXPECT_EQ(detected(), forced[choice - 4]) << choice;
    }
    // 3 and 8 keep what the masks say.
    for (std::uint8_t choice : {3, 8, 255}) {
        resetViewer();
        setMasks16(0x7C00, 0x03E0, 0x001F);
        openDisplay(choice);
        detectPixelFormat();
        EXPECT_EQ(detected(), (Bits{5, 5, 5})) << int{choice};
    }
}

TEST_F(PixelFormatTest, TwentyFourBitMasksAndAFailedQueryGiveSixSixSix) {
    openDisplay(2);
    ASSERT_EQ(SCREENCOLORS, 24);
    detectPixelFormat();
    EXPECT_EQ(detected(), (Bits{6, 6, 6}));

    resetViewer();
    openDisplay(3);
    failDisplay(DisplayOp::GetPixelFormat, DDERR_GENERIC);
    detectPixelFormat();
    EXPECT_EQ(detected(), (Bits{6, 6, 6}));
}

TEST_F(PixelFormatTest, PackingGivesTheWorkedValuesLowByteFirst) {
    struct Case {
        Bits layout;
        std::uint8_t r, g, b;
        unsigned word;
    };
    const Case cases[] = {
        {{5, 6, 5}, 255, 255, 255, 0xFFFF},
        {{5, 5, 5}, 255, 255, 255, 0x7BFF},
        {{6, 5, 5}, 255, 255, 255, 0xFFFF},
        {{5, 5, 6}, 255, 255, 255, 0xFFFF},
        {{5, 6, 5}, 100, 50, 0, 0x6180},
        {{5, 5, 5}, 100, 50, 0, 0x30C0},
        {{6, 5, 5}, 100, 50, 0, 0x64C0},
        {{5, 5, 6}, 100, 50, 0, 0x6180},
        // Each channel alone lands in its own bits.
        {{5, 6, 5}, 0xFF, 0, 0, 0xF800},
        {{5, 6, 5}, 0, 0xFF, 0, 0x07E0},
        {{5, 6, 5}, 0, 0, 0xFF, 0x001F},
        {{5, 5, 5}, 0xFF, 0, 0, 0x7800},
        {{5, 5, 5}, 0, 0xFF, 0, 0x03E0},
        {{5, 5, 5}, 0, 0, 0xFF, 0x001F},
        {{6, 5, 5}, 0xFF, 0, 0, 0xFC00},
        {{6, 5, 5}, 0, 0xFF, 0, 0x03E0},
        {{6, 5, 5}, 0, 0, 0xFF, 0x001F},
        {{5, 5, 6}, 0xFF, 0, 0, 0xF800},
        {{5, 5, 6}, 0, 0xFF, 0, 0x07C0},
        {{5, 5, 6}, 0, 0, 0xFF, 0x003F},
        // Inputs below 8 vanish in 5-bit channels, red below 16 in 5-5-5.
        {{5, 6, 5}, 7, 3, 7, 0x0000},
        {{5, 5, 5}, 15, 7, 7, 0x0000},
        {{5, 6, 5}, 7, 4, 7, 0x0020},
    };
    SCREENCOLORS = 16;
    for (const Case &c : cases) {
        setLayout(c.layout.r, c.layout.g, c.layout.b);
        packColour(c.r, c.g, c.b);
        EXPECT_EQ(packed(), c.word) << c.layout.r << c.layout.g << c.layout.b << " " << int{c.r} << "," << int{c.g}
                                    << "," << int{c.b};
    }
    setLayout(5, 6, 5);
    packColour(100, 50, 0);
    EXPECT_EQ(bPackedLow, 0x80);
    EXPECT_EQ(bPackedHigh, 0x61);
}

TEST_F(PixelFormatTest, NothingIsPackedAtTwentyFourBitsOrForAnUnknownLayout) {
    SCREENCOLORS = 24;
    setLayout(5, 6, 5);
    bPackedLow = 0xAB, bPackedHigh = 0xCD;
    packColour(255, 255, 255);
    EXPECT_EQ(packed(), 0xCDABu);

    SCREENCOLORS = 16;
    setLayout(6, 6, 6);
    packColour(255, 255, 255);
    EXPECT_EQ(packed(), 0xCDABu);
    EXPECT_FALSE(packedWord(255, 255, 255));
}

} // namespace
} // namespace orbex::test
