#pragma once
// Where a page's content lies, and where a sheet of two facing pages folds.

#include <optional>

#include "imaging/Picture.h"
#include "imaging/cleanup/InkMap.h"

namespace vellumark::imaging {

// The box of the page's content, in page pixels: every piece of ink but the scanner's dark
// borders, shadows and anything else reaching the sheet's edge, and dust (specks, and on a
// dusty sheet, small pieces away from the lines). Empty for a
// page with no content. `dpi` as for MeasureSkew. Thread-safe.
PixelBox FindContentBox(const GreyPicture& page, double dpi);

// True for a page with paper across its middle: at most a few dots of ink in the middle three
// fifths each way, whatever lies nearer its edges (a border, a shadow). A picture that fills the
// page to its edges is not blank. Thread-safe.
bool LooksBlank(const GreyPicture& page);

// The page as if lit evenly: each pixel measured against the paper around it, so that a corner
// left dim by a lamp or a camera is paper again and the text in it ink. The paper level is the
// brightest pixel of the blocks around, each about 0.4 inch across (`dpi` as for MeasureSkew);
// where even that is dark (a scanner's border, a dark photograph) pixels are left as they are.
// Thread-safe.
GreyPicture EvenlyLit(const GreyPicture& page, double dpi);

// Where a sheet holding two facing pages folds, in page pixels from the left; nothing for a
// single page, also one that shows a sliver of the next. Thread-safe.
std::optional<int> FindFold(const GreyPicture& sheet, double dpi);

}  // namespace vellumark::imaging
