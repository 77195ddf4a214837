#pragma once
// Turning a page picture by a small angle, and cutting a box out of it.

#include "imaging/Picture.h"
#include "imaging/cleanup/InkMap.h"

namespace vellumark::imaging {

// The size of a width x height picture turned by `degrees` (as Turn makes it).
PixelBox TurnedBounds(int width, int height, double degrees);

// The picture turned by `degrees` clockwise about its centre, bilinear, on a canvas just large
// enough to hold all of it (nothing is cut off), paper white where the picture does not reach.
// With `bilevel`, every output pixel is black or white again. Thread-safe.
GreyPicture Turn(const GreyPicture& page, double degrees, bool bilevel);
Picture Turn(const Picture& page, double degrees);
// The `part` of what Turn makes (a box of its canvas, which may reach past it: paper there),
// made without the rest.
Picture TurnPart(const Picture& page, double degrees, const PixelBox& part);

// The `part` of a bilevel page turned as TurnPart turns a picture (the same canvas and centre),
// each pixel the sheet's nearest: ink stays ink and nothing blurs, so a page read at its own
// pixels and made smaller afterwards keeps its text sharp. Paper where the part reaches past the
// page. Takes a few milliseconds for a 300 dpi page. Thread-safe.
BitPicture TurnBits(const BitPicture& page, double degrees, const PixelBox& part);

// The picture turned clockwise by `quarters` quarter turns (any integer; taken modulo 4).
GreyPicture TurnQuarters(GreyPicture page, int quarters);
Picture TurnQuarters(Picture page, int quarters);
BitPicture TurnQuarters(BitPicture page, int quarters);

// The picture made `factor` times smaller each way (at least 1), each pixel the mean of the
// pixels it covers; the last row and column cover what is left.
GreyPicture Shrink(const GreyPicture& page, int factor);

// The picture half its size each way (an odd last row or column dropped), each pixel the mean
// of the four it covers.
Picture Halved(const Picture& page);

// The part of the picture inside `box` (clamped to the picture), and white where the box
// reaches past it.
GreyPicture Cut(const GreyPicture& page, const PixelBox& box);
Picture Cut(const Picture& page, const PixelBox& box);

}  // namespace vellumark::imaging
