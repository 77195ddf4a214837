#pragma once
// Turns a picture stored in one of TIFF's eight orientations into one that is upright.

#include "imaging/Picture.h"

namespace vellumark::imaging {

// orientation is the TIFF Orientation tag (1 to 8; anything else is taken as 1). Orientations
// 5 to 8 swap width and height.
Picture Upright(Picture stored, int orientation);
// The same for a page's bits: ink stays ink, and paper lies past each row's end as before.
// Moves only the ink, so it takes a few milliseconds for a 300 dpi text page.
BitPicture Upright(BitPicture stored, int orientation);

}  // namespace vellumark::imaging
