// The screen and the page as the viewer lays them out: one 640x480 frame,
// the article text in lines of 16 rows, the scroll-bar strip at the right
// edge, the zones that scroll the page. Used by the viewer, the backends and
// the tools alike, so a number here means the same thing everywhere.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orbex {

// The display mode the viewer asks for; every frame and picture has this size.
constexpr std::int32_t SCREENWIDTH = 640;
constexpr std::int32_t SCREENHEIGHT = 480;
constexpr std::size_t SCREEN_PIXELS = static_cast<std::size_t>(SCREENWIDTH) * SCREENHEIGHT;
// A picture of 3 bytes a pixel (blue, green, red), and its packed 16-bit form.
constexpr std::size_t TRUECOLOUR_SIZE = SCREEN_PIXELS * 3;
constexpr std::size_t PACKED_SIZE = SCREEN_PIXELS * 2;

// Glyph cells of the font.
constexpr std::int32_t GLYPH_WIDTH = 8;
constexpr std::int32_t GLYPH_HEIGHT = 16;

// The article page: line 0 of the window starts at row 206, a line is one
// glyph high, a text line holds columns 1 to 76 (column c at x = 8c + 8).
constexpr float PAGE_TOP = 206.0f;
constexpr float LINE_HEIGHT = 16.0f;
constexpr std::int32_t LAST_COLUMN = 76;
// Lines below the first visible one that the page still shows; also the
// step of Page Up and Page Down, and what End leaves above the last line.
constexpr std::int32_t PAGE_LINES = 15;
// The thumb of the scroll bar stands for this many lines.
constexpr float THUMB_LINES = 16.0f;

// The pointer in these zones scrolls the page: above TOP_EDGE_Y up, below
// BOTTOM_EDGE_Y down.
constexpr std::int32_t TOP_EDGE_Y = 30;
constexpr std::int32_t BOTTOM_EDGE_Y = 450;

// The scroll-bar strip of the background picture, columns 637 to 639 from
// row 185 down, and its track of 250 rows from row 200.
constexpr std::int32_t STRIP_LEFT = 637;
constexpr std::int32_t STRIP_RIGHT = 639;
constexpr std::int32_t STRIP_TOP = 185;
constexpr std::int32_t TRACK_TOP = 200;
constexpr float TRACK_ROWS = 250.0f;

// The author line starts at x 15, the title line ends at x 570 plus its
// 7-character label; both on row 180. The frame-rate line at (10, 465).
constexpr std::int32_t HEADER_Y = 180;
constexpr std::int32_t AUTHOR_X = 15;
constexpr std::int32_t TITLE_END_X = 570;
constexpr std::int32_t FRAME_RATE_X = 10;
constexpr std::int32_t FRAME_RATE_Y = 465;

// The pointer picture, and how far a keypad key moves the pointer.
constexpr std::int32_t POINTER_SIZE = 32;
constexpr std::int32_t KEYPAD_STEP = 10;

} // namespace orbex
