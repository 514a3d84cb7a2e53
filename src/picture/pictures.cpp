#include "picture/pictures.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "base/settings.h"
#include "common/files.h"
#include "picture/pcx.h"
#include "picture/pixelformat.h"

namespace orbex {

Pictures pictures;

namespace {

constexpr std::size_t PIXELS = SCREEN_PIXELS;
constexpr int CURSOR_SIZE = POINTER_SIZE;

constexpr char BACKGROUND_MESSAGE[] =
    "ERROR (CODE 1): Konnte BackgroundPIC nicht lesen!!! Versuche den Viewer zu beenden ... Sollte dieser Fehler "
    "erneut auftreten informieren sie das ORBEX-5-Team: siehe README.md des Projekts (Abschnitt Kontakt).";

// The raw start picture holds red, green, blue; the picture keeps blue,
// green, red. Missing bytes read as 255, so a short file ends in white.
void readStartPicture() {
    UniqueFile file = openRegularFile("data/begin.raw");
    if (file == nullptr)
        return;
    std::size_t got = std::fread(picIntro.data(), 1, picIntro.size(), file.get());
    std::memset(picIntro.data() + got, 0xFF, picIntro.size() - got);
    for (std::size_t i = 0; i < PIXELS; ++i)
        std::swap(picIntro[3 * i], picIntro[3 * i + 2]);
}

// In increasing order, so each pixel's three bytes are read before its
// packed two bytes land on them.
void packInPlace(TrueColourPicture &picture) {
    for (std::size_t i = 0; i < PIXELS; ++i) {
        packColour(picture[3 * i + 2], picture[3 * i + 1], picture[3 * i]);
        picture[2 * i] = bPackedLow;
        picture[2 * i + 1] = bPackedHigh;
    }
}

void expandIndexed(TrueColourPicture &picture) {
    for (std::size_t i = 0; i < PIXELS; ++i) {
        std::size_t k = picPcx[i];
        picture[3 * i + 2] = palPcx[3 * k];
        picture[3 * i + 1] = palPcx[3 * k + 1];
        picture[3 * i] = palPcx[3 * k + 2];
    }
}

// Through the scratch buffer; a layout packing does not know writes nothing
// there, and whatever it holds goes over the picture.
void packThroughScratch(TrueColourPicture &picture) {
    for (std::size_t i = 0; i < PIXELS; ++i) {
        auto word = packedWord(picture[3 * i + 2], picture[3 * i + 1], picture[3 * i]);
        if (!word)
            continue;
        picConvert16[2 * i] = static_cast<std::uint8_t>(*word & 0xFF);
        picConvert16[2 * i + 1] = static_cast<std::uint8_t>(*word >> 8);
    }
    std::memcpy(picture.data(), picConvert16.data(), picConvert16.size());
}

std::size_t cursorRed(int x, int y) { return static_cast<std::size_t>(96 * x + y); }
std::size_t cursorGreen(int x, int y) { return static_cast<std::size_t>(96 * x + 32 + y); }
std::size_t cursorBlue(int x, int y) { return static_cast<std::size_t>(96 * x + 64 + y); }
std::size_t cursorCell(int x, int y) { return static_cast<std::size_t>(32 * x + y); }

} // namespace

void prepareStartPicture() {
    readStartPicture();
    if (SCREENCOLORS == 16)
        packInPlace(picIntro);
}

void prepareEndPicture() {
    readPcx("data/ende.pcx", PCX_READ_PALETTE, 0, 0);
    expandIndexed(picOutro);
    if (SCREENCOLORS == 16)
        packThroughScratch(picOutro);
}

// A missing background leaves the end picture's indices and palette, so the
// background repeats the end picture until the viewer closes.
void prepareBackground() {
    readPcx("data/BG_8b.pcx", PCX_READ_PALETTE, 0, 0);
    expandIndexed(picBackground);
    if (SCREENCOLORS == 16)
        packThroughScratch(picBackground);
}

void checkBackground(HWND hWnd) {
    if (openRegularFile("data/BG_8b.pcx") != nullptr) {
        std::size_t size = SCREENCOLORS == 16 ? PACKED_SIZE : TRUECOLOUR_SIZE;
        std::memcpy(picBackgroundCopy.data(), picBackground.data(), size);
    } else {
        MessageBoxA(hWnd, BACKGROUND_MESSAGE, "ORBEX 5", MB_OK);
        bQuitRequest = 1;
    }
}

void buildPointer() {
    readCursorPcx("data/cursor.pcx", PCX_READ_PALETTE, 0, 0);
    for (int x = 0; x < CURSOR_SIZE; ++x)
        for (int y = 0; y < CURSOR_SIZE; ++y) {
            std::size_t k = abCursorMask[cursorCell(x, y)];
            abCursorColour[cursorRed(x, y)] = palPcx[3 * k];
            abCursorColour[cursorGreen(x, y)] = palPcx[3 * k + 1];
            abCursorColour[cursorBlue(x, y)] = palPcx[3 * k + 2];
        }
    // The first two pixels of the top row are always black, so transparent.
    for (int x = 0; x < 2; ++x) {
        abCursorColour[cursorRed(x, 0)] = 0;
        abCursorColour[cursorGreen(x, 0)] = 0;
        abCursorColour[cursorBlue(x, 0)] = 0;
    }
    // Pure black is the transparent colour; the mask replaces the indices.
    for (int x = 0; x < CURSOR_SIZE; ++x)
        for (int y = 0; y < CURSOR_SIZE; ++y) {
            int sum =
                abCursorColour[cursorRed(x, y)] + abCursorColour[cursorGreen(x, y)] + abCursorColour[cursorBlue(x, y)];
            abCursorMask[cursorCell(x, y)] = sum == 0 ? 0 : 1;
        }
    if (SCREENCOLORS != 16)
        return;
    // Column by column in increasing order: every 24-bit value is read
    // before a packed byte lands on it.
    for (int x = 0; x < CURSOR_SIZE; ++x)
        for (int y = 0; y < CURSOR_SIZE; ++y) {
            packColour(abCursorColour[cursorRed(x, y)], abCursorColour[cursorGreen(x, y)],
                       abCursorColour[cursorBlue(x, y)]);
            abCursorColour[static_cast<std::size_t>(64 * x + y)] = bPackedLow;
            abCursorColour[static_cast<std::size_t>(64 * x + 32 + y)] = bPackedHigh;
        }
}

} // namespace orbex
