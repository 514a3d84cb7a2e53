#include "picture/pictures.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "base/settings.h"
#include "common/files.h"
#include "common/start.h"
#include "picture/pcx.h"
#include "picture/pixelformat.h"

namespace orbex {

Pictures pictures;

namespace {

constexpr int CURSOR_SIZE = POINTER_SIZE;

constexpr char BACKGROUND_MESSAGE[] =
    "ERROR (CODE 1): Konnte BackgroundPIC nicht lesen!!! Versuche den Viewer zu beenden ... Sollte dieser Fehler "
    "erneut auftreten informieren sie das ORBEX-5-Team: siehe README.md des Projekts (Abschnitt Kontakt).";

// A picture as its true-colour pixels of three bytes and as its packed form
// of two, which the conversions write over the first.
LockedFrame trueColourFrame(TrueColourPicture &picture) { return {picture.data(), SCREENWIDTH * 3, 3}; }
LockedFrame packedFrame(std::uint8_t *pixels) { return {pixels, SCREENWIDTH * 2, 2}; }

// The raw start picture holds red, green, blue; the picture keeps blue,
// green, red. Missing bytes read as 255, so a short file ends in white.
void readStartPicture() {
    UniqueFile file = openRegularFile(START_PICTURE_FILE);
    if (file == nullptr)
        return;
    std::size_t got = std::fread(picIntro.data(), 1, picIntro.size(), file.get());
    std::memset(picIntro.data() + got, 0xFF, picIntro.size() - got);
    for (std::size_t i = 0; i + 2 < picIntro.size(); i += 3)
        std::swap(picIntro[i], picIntro[i + 2]);
}

// Row by row in increasing order, so each pixel's three bytes are read
// before its packed two bytes land on them.
void packInPlace(TrueColourPicture &picture) {
    const LockedFrame from = trueColourFrame(picture);
    const LockedFrame to = packedFrame(picture.data());
    for (std::int32_t y = 0; y < SCREENHEIGHT; ++y)
        for (std::int32_t x = 0; x < SCREENWIDTH; ++x) {
            const PixelColour pixel = from.at(x, y);
            packColour(pixel[2], pixel[1], pixel[0]);
            to.put(x, y, {bPackedLow, bPackedHigh, 0});
        }
}

void expandIndexed(TrueColourPicture &picture) {
    const LockedFrame to = trueColourFrame(picture);
    for (std::int32_t y = 0; y < SCREENHEIGHT; ++y)
        for (std::int32_t x = 0; x < SCREENWIDTH; ++x) {
            const std::size_t k = picPcx[static_cast<std::size_t>(y) * SCREENWIDTH + static_cast<std::size_t>(x)];
            to.put(x, y, {palPcx[3 * k + 2], palPcx[3 * k + 1], palPcx[3 * k]});
        }
}

// Through the scratch buffer; a layout packing does not know writes nothing
// there, and whatever it holds goes over the picture.
void packThroughScratch(TrueColourPicture &picture) {
    const LockedFrame from = trueColourFrame(picture);
    const LockedFrame scratch = packedFrame(picConvert16.data());
    for (std::int32_t y = 0; y < SCREENHEIGHT; ++y)
        for (std::int32_t x = 0; x < SCREENWIDTH; ++x) {
            const PixelColour pixel = from.at(x, y);
            auto word = packedWord(pixel[2], pixel[1], pixel[0]);
            if (word)
                scratch.put(x, y, {static_cast<std::uint8_t>(*word & 0xFF), static_cast<std::uint8_t>(*word >> 8), 0});
        }
    std::memcpy(picture.data(), picConvert16.data(), picConvert16.size());
}

} // namespace

void prepareStartPicture() {
    readStartPicture();
    if (SCREENCOLORS == 16)
        packInPlace(picIntro);
}

void prepareEndPicture() {
    readPcx(END_PICTURE_FILE, PCX_READ_PALETTE, 0, 0);
    expandIndexed(picOutro);
    if (SCREENCOLORS == 16)
        packThroughScratch(picOutro);
}

// A missing background leaves the end picture's indices and palette, so the
// background repeats the end picture until the viewer closes.
void prepareBackground() {
    readPcx(BACKGROUND_FILE, PCX_READ_PALETTE, 0, 0);
    expandIndexed(picBackground);
    if (SCREENCOLORS == 16)
        packThroughScratch(picBackground);
}

bool keepBackground() {
    if (openRegularFile(BACKGROUND_FILE) == nullptr)
        return false;
    std::size_t size = SCREENCOLORS == 16 ? PACKED_SIZE : TRUECOLOUR_SIZE;
    std::memcpy(picBackgroundCopy.data(), picBackground.data(), size);
    return true;
}

void checkBackground(HWND hWnd) {
    if (!keepBackground()) {
        MessageBoxA(hWnd, BACKGROUND_MESSAGE, "ORBEX 5", MB_OK);
        bQuitRequest = 1;
    }
}

void buildPointer() {
    readCursorPcx(POINTER_FILE, PCX_READ_PALETTE, 0, 0);
    for (int x = 0; x < CURSOR_SIZE; ++x)
        for (int y = 0; y < CURSOR_SIZE; ++y) {
            std::size_t k = abCursorMask[cursorCell(x, y)];
            cursorColours[cursorRed(x, y)] = palPcx[3 * k];
            cursorColours[cursorGreen(x, y)] = palPcx[3 * k + 1];
            cursorColours[cursorBlue(x, y)] = palPcx[3 * k + 2];
        }
    // The first two pixels of the top row are always black, so transparent.
    for (int x = 0; x < 2; ++x) {
        cursorColours[cursorRed(x, 0)] = 0;
        cursorColours[cursorGreen(x, 0)] = 0;
        cursorColours[cursorBlue(x, 0)] = 0;
    }
    // Pure black is the transparent colour; the mask replaces the indices.
    for (int x = 0; x < CURSOR_SIZE; ++x)
        for (int y = 0; y < CURSOR_SIZE; ++y) {
            int sum =
                cursorColours[cursorRed(x, y)] + cursorColours[cursorGreen(x, y)] + cursorColours[cursorBlue(x, y)];
            abCursorMask[cursorCell(x, y)] = sum == 0 ? 0 : 1;
        }
    if (SCREENCOLORS != 16)
        return;
    // Column by column in increasing order: every 24-bit value is read
    // before a packed byte lands on it.
    for (int x = 0; x < CURSOR_SIZE; ++x)
        for (int y = 0; y < CURSOR_SIZE; ++y) {
            packColour(cursorColours[cursorRed(x, y)], cursorColours[cursorGreen(x, y)],
                       cursorColours[cursorBlue(x, y)]);
            cursorColours[cursorLow(x, y)] = bPackedLow;
            cursorColours[cursorHigh(x, y)] = bPackedHigh;
        }
}

} // namespace orbex
