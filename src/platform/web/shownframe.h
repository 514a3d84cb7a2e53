// The frame the page's canvas shows, as the program gave it: which rows of
// a new frame differ from it. Putting rows on a canvas costs the browser
// many times what comparing them costs here, and a page being read sends
// the same frame again and again.
#pragma once

#include <cstdint>
#include <vector>

#include "common/frameview.h"

namespace orbex::web {

// Rows first to last of a frame (none when first > last).
struct RowSpan {
    int first = 0;
    int last = -1;
    bool empty() const { return first > last; }
};

class ShownFrame {
  public:
    // The rows of frame that differ from the frame shown before it (every
    // row for the first frame, one without pixels, or one of another size,
    // depth, pitch or channel masks); frame is the one shown from now on.
    RowSpan update(const FrameView &frame);
    // The shown frame as RGBA, its rows brought up to date by update: what
    // the page puts on its canvas as it is.
    const std::uint8_t *rgba() const { return shownRgba.data(); }

  private:
    bool sameLayout(const FrameView &frame) const;

    FrameView layout; // pixels unused: only the shape is kept
    std::size_t rowBytes = 0;
    std::vector<std::uint8_t> kept;      // the shown rows, packed
    std::vector<std::uint8_t> shownRgba; // the same rows as RGBA
};

// Called by the backend's flip and by the frame timing: the rows of frame
// that changed, converted and onto the page's canvas (orbex_present).
void presentChangedRows(ShownFrame &shown, const FrameView &frame);

} // namespace orbex::web
