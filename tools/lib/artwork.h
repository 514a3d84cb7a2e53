// The pictures of a new magazine, drawn in code: gradients with the title
// written in the magazine's own font, so `orbex-tool new` needs no files.
#pragma once

#include <map>
#include <string>

#include "fontsource.h"
#include "images.h"

namespace orbex {

using Glyphs = std::map<std::uint32_t, GlyphRows>;

// The 640x480 start picture (any number of colours: it becomes begin.raw).
RgbImage drawStartPicture(const Glyphs &font, const std::string &title);
// The 640x480 end picture, at most 256 colours.
RgbImage drawEndPicture(const Glyphs &font, const std::string &title);
// The 640x480 background: a banner with the title above the header strip,
// a dark text area and the scroll bar's track; at most 256 colours.
RgbImage drawBackgroundPicture(const Glyphs &font, const std::string &title);
// The 32x32 pointer: an arrow on pure black, which the viewer shows transparent.
RgbImage drawPointerPicture();

} // namespace orbex
