#pragma once
// Turns a picture stored in one of TIFF's eight orientations into one that is upright.

#include <utility>

#include "imaging/Picture.h"

namespace vellumark::imaging {

// Where the stored pixel (x, y) of a width x height picture stands once it is shown upright, as
// orientation (the TIFF Orientation tag, 2 to 8) says; orientations 5 to 8 swap width and
// height.
inline std::pair<int, int> UprightPosition(int orientation, int width, int height, int x, int y) {
    switch (orientation) {
        case 2:  // mirrored
            return {width - 1 - x, y};
        case 3:  // upside down
            return {width - 1 - x, height - 1 - y};
        case 4:  // flipped
            return {x, height - 1 - y};
        case 5:  // transposed
            return {y, x};
        case 6:  // turned a quarter left
            return {height - 1 - y, x};
        case 7:  // transverse
            return {height - 1 - y, width - 1 - x};
        case 8:  // turned a quarter right
            return {y, width - 1 - x};
        default:
            return {x, y};
    }
}

// The orientation of a picture that is shown upright by turning it clockwise by `quarters`
// quarter turns (any integer; taken modulo 4).
int OrientationOfQuarters(int quarters);

// orientation is the TIFF Orientation tag (1 to 8; anything else is taken as 1). Orientations
// 5 to 8 swap width and height.
Picture Upright(Picture stored, int orientation);
// The same for a page's bits: ink stays ink, and paper lies past each row's end as before.
// Moves only the ink, so it takes a few milliseconds for a 300 dpi text page.
BitPicture Upright(BitPicture stored, int orientation);

}  // namespace vellumark::imaging
