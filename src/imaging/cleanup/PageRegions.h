#pragma once
// Where a page's content lies, and where a sheet of two facing pages folds.

#include <optional>

#include "imaging/Picture.h"
#include "imaging/cleanup/InkMap.h"

namespace vellumark::imaging {

// The box of the page's content, in page pixels: every piece of ink but the scanner's dark
// borders, shadows and anything else reaching the sheet's edge, and dust specks. Empty for a
// page with no content. `dpi` as for MeasureSkew. Thread-safe.
PixelBox FindContentBox(const GreyPicture& page, double dpi);

// Where a sheet holding two facing pages folds, in page pixels from the left; nothing for a
// single page, also one that shows a sliver of the next. Thread-safe.
std::optional<int> FindFold(const GreyPicture& sheet, double dpi);

}  // namespace vellumark::imaging
