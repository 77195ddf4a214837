#pragma once
// JPEG-compressed TIFF pages decoded by libjpeg itself, shrunk as they are decoded: libjpeg
// scales each block's inverse transform, so a page wanted at half its size or less costs a
// fraction of a full decode, and the resampler gets a quarter of the rows' samples or fewer.

#include <tiffio.h>

#include <optional>
#include <string>
#include <utility>

#include "imaging/PageLayout.h"
#include "imaging/Resampler.h"

namespace vellumark::imaging {

// The factor (8, 4 or 2) by which the page can be shrunk as it is decoded and still give at
// least width x height (its stored orientation), or 1 when it cannot be read this way: only
// strips of 8-bit grey, RGB or YCbCr JPEG whose rows per strip the factor divides.
int JpegShrink(TIFF* tif, const PageLayout& page, int width, int height);

// The page's size at that factor (each side rounded up, as libjpeg does).
std::pair<int, int> ShrunkSize(const PageLayout& page, int shrink);

// Decodes the page's strips at 1/shrink into rows: grey rows for a grey page, RGB otherwise,
// ShrunkSize(page, shrink) of them. Returns what went wrong for a damaged page (the caller
// names the file and page), nothing when every row was decoded. Throws only what rows throws.
std::optional<std::string> ReadJpegStrips(TIFF* tif, const PageLayout& page, int shrink,
                                          Resampler& rows);

}  // namespace vellumark::imaging
