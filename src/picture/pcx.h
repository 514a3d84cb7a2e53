// The reader of 256-colour run-length PCX pictures, into the 640x480 indexed
// picture or the 32x32 pointer buffer.
#pragma once

#include <array>
#include <cstdint>

#include "common/geometry.h"

namespace orbex {

constexpr std::uint8_t PCX_READ_PALETTE = 2;

// IndexedPicture: 640x480 palette indices, row-major, and its palette.
struct IndexedPicture {
    std::array<std::uint8_t, SCREEN_PIXELS> picPcx{};
    std::array<std::uint8_t, 768> palPcx{};
};

extern IndexedPicture indexedPicture;

inline constexpr auto &picPcx = indexedPicture.picPcx;
inline constexpr auto &palPcx = indexedPicture.palPcx;

// Called by prepareEndPicture and prepareBackground.
void readPcx(const char *name, std::uint8_t paletteFlag, std::int32_t xOffset, std::int32_t yOffset);
// Called by buildPointer, into abCursorMask's bytes.
void readCursorPcx(const char *name, std::uint8_t paletteFlag, std::int32_t xOffset, std::int32_t yOffset);

} // namespace orbex
