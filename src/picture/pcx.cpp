#include "picture/pcx.h"

#include <algorithm>
#include <cstdio>

#include "common/files.h"
#include "picture/pictures.h"

namespace orbex {

IndexedPicture indexedPicture;

namespace {

constexpr long PCX_HEADER_SIZE = 128;
constexpr long PCX_PALETTE_SIZE = 768;

// Where decoded pixels go: a width x height buffer, row by row or column by
// column.
struct PcxTarget {
    std::uint8_t *buffer;
    std::int64_t width;
    std::int64_t height;
    bool columnMajor;
};

// The file's bytes in blocks (a byte at a time through getc cost a call
// each). The end of the file reads as getc's EOF, whose low byte is 0xFF: a
// run of 63 pixels of index 255; ended() holds, as feof, once a read found
// the end.
class ByteReader {
  public:
    explicit ByteReader(std::FILE *file) : file(file) {}

    std::uint8_t next() {
        if (position == length && !refill())
            return 0xFF;
        return block[position++];
    }
    bool ended() const { return end; }
    // As fseek: the end not found any more.
    void seek(long offset) {
        std::fseek(file, offset, SEEK_SET);
        position = length = 0;
        end = false;
    }

  private:
    bool refill() {
        position = 0;
        length = std::fread(block, 1, sizeof block, file);
        end = length == 0;
        return !end;
    }

    std::FILE *file;
    std::uint8_t block[4096];
    std::size_t position = 0;
    std::size_t length = 0;
    bool end = false;
};

std::int32_t readWord(ByteReader &file) {
    std::int32_t low = file.next();
    std::int32_t high = file.next();
    return low | high << 8;
}

void skipBytes(ByteReader &file, int count) {
    for (int i = 0; i < count; ++i)
        file.next();
}

// Past the end of the file every byte reads 0xFF, a run of 63 pixels of
// index 255, up to the pixel count: only the pixels that land in the target
// are stored, a row at a time, so that a header claiming billions of pixels
// costs no more than the target (and rows above it none at all).
void fillAfterEnd(std::int64_t w, std::int64_t count, std::int64_t xOffset, std::int64_t yOffset,
                  const PcxTarget &target, std::int64_t c, std::int64_t r, std::int64_t n) {
    // A negative width still stores one pixel a row.
    const std::int64_t rowLength = w >= 0 ? w + 1 : 1;
    while (n < count && r + yOffset < target.height) {
        const std::int64_t row = r + yOffset;
        if (row < 0 && c == 0 && count - n >= rowLength) {
            const std::int64_t rows = std::min(-row, (count - n) / rowLength);
            n += rows * rowLength;
            r += rows;
            continue;
        }
        const std::int64_t take = std::min(rowLength - c, count - n);
        if (row >= 0)
            for (std::int64_t x = std::max(c, -xOffset); x < std::min(c + take, target.width - xOffset); ++x) {
                const std::int64_t column = x + xOffset;
                target.buffer[target.columnMajor ? column * target.height + row : row * target.width + column] = 0xFF;
            }
        n += take;
        c += take;
        if (c >= rowLength) {
            c = 0;
            ++r;
        }
    }
}

void decodePcx(const char *name, std::uint8_t paletteFlag, std::int32_t xOffset, std::int32_t yOffset,
               const PcxTarget &target) {
    UniqueFile stream = openRegularFile(name);
    if (stream == nullptr)
        return;
    ByteReader file(stream.get());

    skipBytes(file, 4);
    std::int32_t xmin = readWord(file);
    std::int32_t ymin = readWord(file);
    std::int32_t xmax = readWord(file);
    std::int32_t ymax = readWord(file);
    std::int64_t w = xmax - xmin;
    std::int64_t h = ymax - ymin;
    // 64 bits: two 16-bit extents cannot overflow the count.
    std::int64_t count = (w + 1) * (h + 1);
    skipBytes(file, static_cast<int>(PCX_HEADER_SIZE - 12));

    std::int64_t c = 0;
    std::int64_t r = 0;
    std::int64_t n = 0;
    auto store = [&](std::uint8_t value) {
        // A picture larger than its target, or placed partly outside it,
        // loses the pixels that fall outside; the decoding goes on as usual.
        std::int64_t column = c + xOffset;
        std::int64_t row = r + yOffset;
        if (column >= 0 && column < target.width && row >= 0 && row < target.height) {
            std::int64_t at = target.columnMajor ? column * target.height + row : row * target.width + column;
            target.buffer[at] = value;
        }
        ++n;
        if (++c > w) {
            c = 0;
            ++r;
        }
    };
    // Rows only grow, so once the row is below the target nothing more can
    // land in it and the rest of the pixel data need not be decoded.
    while (n < count && r + yOffset < target.height) {
        if (file.ended()) {
            fillAfterEnd(w, count, xOffset, yOffset, target, c, r, n);
            break;
        }
        std::uint8_t b = file.next();
        if ((b & 0xC0) == 0xC0) {
            int length = b & 0x3F;
            if (length == 0)
                continue;
            std::uint8_t value = file.next();
            for (int i = 0; i < length && n < count; ++i)
                store(value);
        } else {
            store(b);
        }
    }

    // The palette is the last 768 bytes; a file shorter than that gives its
    // palette from its first byte on, and 0xFF for what it lacks.
    std::fseek(stream.get(), 0, SEEK_END);
    long size = std::ftell(stream.get());
    file.seek(size > PCX_PALETTE_SIZE ? size - PCX_PALETTE_SIZE : 0);
    if (paletteFlag == PCX_READ_PALETTE)
        for (std::uint8_t &entry : palPcx)
            entry = file.next();
}

} // namespace

void readPcx(const char *name, std::uint8_t paletteFlag, std::int32_t xOffset, std::int32_t yOffset) {
    decodePcx(name, paletteFlag, xOffset, yOffset, PcxTarget{picPcx.data(), SCREENWIDTH, SCREENHEIGHT, false});
}

void readCursorPcx(const char *name, std::uint8_t paletteFlag, std::int32_t xOffset, std::int32_t yOffset) {
    decodePcx(name, paletteFlag, xOffset, yOffset, PcxTarget{abCursorMask.data(), POINTER_SIZE, POINTER_SIZE, true});
}

} // namespace orbex
