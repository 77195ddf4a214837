#pragma once
// Turns a picture stored in one of TIFF's eight orientations into one that is upright.

#include "imaging/Picture.h"

namespace vellumark::imaging {

// orientation is the TIFF Orientation tag (1 to 8; anything else is taken as 1). Orientations
// 5 to 8 swap width and height.
Picture Upright(Picture stored, int orientation);

}  // namespace vellumark::imaging
