#pragma once
// The shape of a page's lines of text, as it tells which way up the page is: in Latin and
// similar scripts far more ink rises above the letters' middle band (b, d, h, k, l, t,
// capitals) than hangs below it (g, p, q, y), so text the right way up has more ink above the
// band than below, and text upside down the reverse.

#include "imaging/Picture.h"

namespace vellumark::imaging {

// The ink above the middle bands of a page's lines over the ink below them, for lines that run
// at `lineDegrees` (as MeasureSkew gives them); 1 when the page has too few lines to tell.
// Thread-safe.
double AscenderRatio(const GreyPicture& page, double lineDegrees = 0);

// A page whose ratio is at least this reads the right way up; one at most its inverse is upside
// down or in a script the ratio cannot tell about. Book pages the right way up measure 1.5 to 6
// in the typefaces tried, and upside down at most 0.7; a page between is asked of Tesseract.
inline constexpr double kUprightAscenders = 1.4;

}  // namespace vellumark::imaging
