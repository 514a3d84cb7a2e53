#include "picture/pcx.h"

#include "picture/pictures.h"
#include "shell/assets.h"
#include "support/pictures.h"

namespace orbex::test {
namespace {

class PcxTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        // Untouched bytes show as 0xEE.
        picPcx.fill(0xEE);
        abCursorMask.fill(0xEE);
    }
    // A file of the header, the pixel data and, when given, a palette.
    static void writePcx(const char *name, const Bytes &header, const Bytes &data, const Bytes &palette = {}) {
        Bytes file = header;
        file.insert(file.end(), data.begin(), data.end());
        file.insert(file.end(), palette.begin(), palette.end());
        writeFile(name, file);
    }
    static std::size_t changedCount() {
        std::size_t n = 0;
        for (std::uint8_t b : picPcx)
            n += b != 0xEE;
        return n;
    }
};

Bytes pattern(int width, int height) {
    Bytes out(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out[static_cast<std::size_t>(y * width + x)] = static_cast<std::uint8_t>((x / 3 + y * 7) % 256);
    return out;
}

TEST_F(PcxTest, AFullPictureFillsTheIndexedPictureAndItsPalette) {
    Bytes indices = pattern(640, 480);
    writeFile("full.pcx", encodePcx(640, 480, indices, testPalette()));
    readPcx("full.pcx", PCX_READ_PALETTE, 0, 0);
    EXPECT_TRUE(std::equal(picPcx.begin(), picPcx.end(), indices.begin()));
    EXPECT_TRUE(std::equal(palPcx.begin(), palPcx.end(), testPalette().begin()));
}

TEST_F(PcxTest, ThePointerBufferIsFilledColumnByColumn) {
    Bytes indices = pattern(32, 32);
    writeFile("cursor.pcx", encodePcx(32, 32, indices, testPalette()));
    readCursorPcx("cursor.pcx", PCX_READ_PALETTE, 0, 0);
    for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 32; ++y)
            ASSERT_EQ(abCursorMask[static_cast<std::size_t>(32 * x + y)],
                      indices[static_cast<std::size_t>(32 * y + x)]);
    EXPECT_EQ(abCursorMask[32], indices[1]);
    EXPECT_TRUE(std::equal(palPcx.begin(), palPcx.end(), testPalette().begin()));
}

TEST_F(PcxTest, RunCountsAndRunsAcrossRows) {
    // 0xC1 0xC5: one pixel 0xC5; 0xC0 is skipped; a run from the last column
    // goes on at column 0 of the next row; the run past the count is cut.
    writePcx("runs.pcx", pcxHeader(0, 0, 2, 1), Bytes{0xC1, 0xC5, 0xC0, 0x07, 0xC3, 0x09, 0xC5, 0x04, 0x55});
    readPcx("runs.pcx", 0, 0, 0);
    EXPECT_EQ((Bytes{picPcx[0], picPcx[1], picPcx[2], picPcx[3]}), (Bytes{0xC5, 0x07, 0x09, 0xEE}));
    EXPECT_EQ((Bytes{picPcx[640], picPcx[641], picPcx[642], picPcx[643]}), (Bytes{0x09, 0x09, 0x04, 0xEE}));
    EXPECT_EQ(changedCount(), 6u);
    // No palette asked for: the palette stays.
    EXPECT_EQ(palPcx, (std::array<std::uint8_t, 768>{}));
}

TEST_F(PcxTest, OffsetsMoveThePictureAndItsMinimumDoesNot) {
    writePcx("off.pcx", pcxHeader(100, 200, 101, 200), Bytes{1, 2});
    readPcx("off.pcx", 0, 5, 3);
    EXPECT_EQ(picPcx[3 * 640 + 5], 1);
    EXPECT_EQ(picPcx[3 * 640 + 6], 2);
    EXPECT_EQ(changedCount(), 2u);
}

TEST_F(PcxTest, ThePaletteIsTheLast768BytesWhateverPrecedesThem) {
    Bytes palette = testPalette();
    // No 0x0C marker, and junk between the pixel data and the palette.
    writePcx("pal.pcx", pcxHeader(0, 0, 0, 0), Bytes{3, 0x33, 0x44, 0x55}, palette);
    readPcx("pal.pcx", PCX_READ_PALETTE, 0, 0);
    EXPECT_TRUE(std::equal(palPcx.begin(), palPcx.end(), palette.begin()));
    EXPECT_EQ(picPcx[0], 3);
}

TEST_F(PcxTest, AMissingFileChangesNothing) {
    palPcx.fill(0x42);
    readPcx("nothing.pcx", PCX_READ_PALETTE, 0, 0);
    readCursorPcx("data", PCX_READ_PALETTE, 0, 0); // a folder
    EXPECT_EQ(changedCount(), 0u);
    EXPECT_TRUE(std::all_of(palPcx.begin(), palPcx.end(), [](std::uint8_t b) { return b == 0x42; }));
    EXPECT_TRUE(std::all_of(abCursorMask.begin(), abCursorMask.end(), [](std::uint8_t b) { return b == 0xEE; }));
}

TEST_F(PcxTest, ShortFilesReadAs0xFF) {
    // Pixel data ending early: the rest is index 255.
    writePcx("short.pcx", pcxHeader(0, 0, 99, 0), Bytes{1, 2});
    readPcx("short.pcx", 0, 0, 0);
    EXPECT_EQ(picPcx[0], 1);
    EXPECT_EQ(picPcx[1], 2);
    for (int x = 2; x < 100; ++x)
        ASSERT_EQ(picPcx[static_cast<std::size_t>(x)], 0xFF) << x;
    EXPECT_EQ(changedCount(), 100u);

    // A file shorter than a palette gives its bytes from the start on, then 0xFF.
    Bytes file = pcxHeader(0, 0, 0, 0);
    file.push_back(9);
    writeFile("tiny.pcx", file);
    readPcx("tiny.pcx", PCX_READ_PALETTE, 0, 0);
    EXPECT_TRUE(std::equal(file.begin(), file.end(), palPcx.begin()));
    EXPECT_TRUE(std::all_of(palPcx.begin() + static_cast<std::ptrdiff_t>(file.size()), palPcx.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));

    // Even the header missing: every field reads 0xFFFF, a 1 x 1 picture of
    // index 255.
    writeFile("empty.pcx", Bytes{});
    readPcx("empty.pcx", PCX_READ_PALETTE, 0, 0);
    EXPECT_EQ(picPcx[0], 0xFF);
    EXPECT_EQ(picPcx[1], 2); // from the first file
    EXPECT_EQ(changedCount(), 100u);
    EXPECT_TRUE(std::all_of(palPcx.begin(), palPcx.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

TEST_F(PcxTest, OversizePicturesKeepToTheirTarget) {
    Bytes indices = pattern(700, 500);
    writeFile("big.pcx", encodePcx(700, 500, indices, testPalette()));
    readPcx("big.pcx", PCX_READ_PALETTE, 0, 0);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            ASSERT_EQ(picPcx[static_cast<std::size_t>(640 * y + x)], indices[static_cast<std::size_t>(700 * y + x)]);
    EXPECT_TRUE(std::equal(palPcx.begin(), palPcx.end(), testPalette().begin()));

    // The pointer buffer lies right before the pointer's colours.
    cursorColours.fill(0x5A);
    Bytes small = pattern(40, 40);
    writeFile("cursor.pcx", encodePcx(40, 40, small, testPalette()));
    readCursorPcx("cursor.pcx", 0, -4, 2);
    for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 32; ++y) {
            std::uint8_t want = y < 2 ? 0xEE : small[static_cast<std::size_t>(40 * (y - 2) + x + 4)];
            ASSERT_EQ(abCursorMask[static_cast<std::size_t>(32 * x + y)], want) << x << "," << y;
        }
    EXPECT_TRUE(std::all_of(cursorColours.begin(), cursorColours.end(), [](std::uint8_t b) { return b == 0x5A; }));
}

TEST_F(PcxTest, HugeAndNegativeExtentsStayInsideAndEnd) {
    // 65536 x 65536 pixels overflow 32 bits; the short data reads as 0xFF.
    writePcx("huge.pcx", pcxHeader(0, 0, 0xFFFF, 0xFFFF), Bytes{});
    readPcx("huge.pcx", 0, 0, 0);
    EXPECT_TRUE(std::all_of(picPcx.begin(), picPcx.end(), [](std::uint8_t b) { return b == 0xFF; }));

    // xmax below xmin with one row: a negative count, nothing stored.
    picPcx.fill(0xEE);
    writePcx("neg.pcx", pcxHeader(10, 0, 0, 0), Bytes{1, 2, 3});
    readPcx("neg.pcx", 0, 0, 0);
    EXPECT_EQ(changedCount(), 0u);

    // Both below: a positive count, and every pixel starts a new row at column 0.
    writePcx("both.pcx", pcxHeader(0xFFFF, 0xFFFF, 0, 0), Bytes{0xC5, 7});
    readPcx("both.pcx", 0, 0, 0);
    for (int y = 0; y < 480; ++y)
        ASSERT_EQ(picPcx[static_cast<std::size_t>(640 * y)], y < 5 ? 7 : 0xFF) << y;
    EXPECT_EQ(changedCount(), 480u);
    readCursorPcx("both.pcx", 0, 0, 0);
    for (int y = 0; y < 32; ++y)
        ASSERT_EQ(abCursorMask[static_cast<std::size_t>(y)], y < 5 ? 7 : 0xFF) << y;
    EXPECT_EQ(abCursorMask[32], 0xEE);
}

// The reader as the plain algorithm states it: every pixel decoded, each
// read past the end 0xFF, pixels outside the target dropped (and nothing
// decoded once the rows are below it, where nothing can land).
void referenceDecode(const Bytes &file, std::int64_t xOffset, std::int64_t yOffset, std::uint8_t *target,
                     std::int64_t width, std::int64_t height, bool columnMajor) {
    std::size_t at = 0;
    auto next = [&]() -> std::uint8_t { return at < file.size() ? file[at++] : (at++, 0xFF); };
    auto word = [&]() {
        std::int64_t low = next();
        return low | std::int64_t{next()} << 8;
    };
    at = 4;
    std::int64_t xmin = word(), ymin = word(), xmax = word(), ymax = word();
    std::int64_t w = xmax - xmin, count = (w + 1) * (ymax - ymin + 1), c = 0, r = 0, n = 0;
    at = 128;
    auto store = [&](std::uint8_t value) {
        std::int64_t x = c + xOffset, y = r + yOffset;
        if (x >= 0 && x < width && y >= 0 && y < height)
            target[columnMajor ? x * height + y : y * width + x] = value;
        ++n;
        if (++c > w)
            c = 0, ++r;
    };
    while (n < count && r + yOffset < height) {
        std::uint8_t b = next();
        if ((b & 0xC0) != 0xC0) {
            store(b);
            continue;
        }
        std::uint8_t value = (b & 0x3F) != 0 ? next() : 0;
        for (int i = 0; i < (b & 0x3F) && n < count; ++i)
            store(value);
    }
}

TEST_F(PcxTest, TheEndOfTheDataFillsTheTargetAsDecodingOnWould) {
    const Bytes data{1, 0xC3, 7, 2, 0xC0, 0xC1, 0xC9, 3, 0xFE, 0xC2};
    const int extents[][4] = {{0, 0, 199, 299}, {3, 5, 60, 8}, {10, 0, 0, 40}, {0xFFFF, 0xFFFF, 0, 0}, {0, 0, 0, 0}};
    const int offsets[][2] = {{0, 0}, {-50, -70}, {600, 470}, {-700, 0}, {0, -400}, {5, 5}, {-1, 31}, {31, -1}};
    for (std::size_t cut = 0; cut <= data.size(); cut += 3)
        for (const auto &e : extents) {
            Bytes file = pcxHeader(e[0], e[1], e[2], e[3]);
            file.insert(file.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(cut));
            writeFile("short.pcx", file);
            for (const auto &o : offsets) {
                std::vector<std::uint8_t> want(picPcx.size(), 0xEE);
                referenceDecode(file, o[0], o[1], want.data(), 640, 480, false);
                picPcx.fill(0xEE);
                readPcx("short.pcx", 0, o[0], o[1]);
                ASSERT_TRUE(std::equal(picPcx.begin(), picPcx.end(), want.begin()))
                    << "cut " << cut << ", extent " << e[2] << "x" << e[3] << ", offset " << o[0] << "," << o[1];
                std::vector<std::uint8_t> wantPointer(abCursorMask.size(), 0xEE);
                referenceDecode(file, o[0], o[1], wantPointer.data(), 32, 32, true);
                abCursorMask.fill(0xEE);
                readCursorPcx("short.pcx", 0, o[0], o[1]);
                ASSERT_TRUE(std::equal(abCursorMask.begin(), abCursorMask.end(), wantPointer.begin()))
                    << "cut " << cut << ", extent " << e[2] << "x" << e[3] << ", offset " << o[0] << "," << o[1];
            }
        }
}

// Found by fuzzing: eight bytes whose header claims 39836 x 65534 pixels,
// placed far above the pointer buffer, made the reader decode a billion
// pixels of the missing data before it reached the buffer.
TEST_F(PcxTest, AHugeHeaderWithoutDataEndsAtOnceWhereverItIsPlaced) {
    writeFile("cursor.pcx", Bytes{0xF7, 0x9E, 0x5D, 0x64, 0x64, 0x64, 0x02, 0x00});
    readCursorPcx("cursor.pcx", PCX_READ_PALETTE, 2700, -29400);
    EXPECT_TRUE(std::all_of(abCursorMask.begin(), abCursorMask.end(), [](std::uint8_t b) { return b == 0xEE; }));
    readCursorPcx("cursor.pcx", 0, -9, -98);
    EXPECT_TRUE(std::all_of(abCursorMask.begin(), abCursorMask.end(), [](std::uint8_t b) { return b == 0xFF; }));
    readPcx("cursor.pcx", 0, -100, -2000000000);
    readPcx("cursor.pcx", 0, 0, 0);
    EXPECT_TRUE(std::all_of(picPcx.begin(), picPcx.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

} // namespace
} // namespace orbex::test
