#pragma once
// How far a page's text lines are turned from level.

#include "imaging/Picture.h"

namespace vellumark::imaging {

struct SkewEstimate {
    // The lines' turn in degrees, clockwise on the page as shown (a line that falls to the
    // right is positive); turning the page by -degrees levels it.
    double degrees = 0;
    // True only for a page with enough lines of text to measure them by: a photo, a drawing or
    // a blank page is not measured.
    bool confident = false;
};

// Measures the skew of the page's text lines, up to kMaxSkewDegrees either way. `dpi` is the
// page's resolution (300 when unknown); it sets what size of ink counts as a letter. Thread-safe;
// does not throw but for memory.
SkewEstimate MeasureSkew(const GreyPicture& page, double dpi);

inline constexpr double kMaxSkewDegrees = 7.0;

}  // namespace vellumark::imaging
