// Arithmetic of window centring. Pure logic on plain rectangles.
#pragma once

namespace toolfunc_detail {

struct PlainRect {
    long left, top, right, bottom;
};

// Top-left corner for a window of the given size centred in `area`. An area more than twice
// as wide as it is high is taken to span two screens side by side: its right edge is halved.
void CentredOrigin(PlainRect area, long width, long height, long& x, long& y);

}  // namespace toolfunc_detail
