#pragma once
// Decodes one page straight into a streaming resampler: strips are read a scanline at a time,
// tiles a band of tiles at a time, so memory stays at a few rows of the page whatever its
// size. Bilevel pages go in as packed bits. Layouts the direct path does not know go through
// libtiff's RGBA reader, still a band at a time.

#include <filesystem>
#include <optional>

#include "imaging/PageLayout.h"
#include "imaging/Picture.h"
#include "imaging/TiffHandle.h"

namespace vellumark::imaging {

// The page the handle's current directory holds, resampled to width x height in its stored
// orientation. Throws vellumark::Error naming path and page: Unsupported for a layout or codec
// we cannot read, TooLarge when a strip or tile band would take too much memory, BadInput for
// damaged data (with libtiff's own words).
// general forces libtiff's RGBA reader (tests compare the two paths with it).
Picture ReadPage(TiffHandle& handle, const PageLayout& page, int width, int height,
                 const std::filesystem::path& path, int pageIndex, bool general = false);

// The page the handle's current directory holds as bits, in its stored orientation, when it is
// stored one bit a pixel; nothing for any other layout. The caller limits the page's size. Throws
// vellumark::Error as ReadPage does for damaged data.
std::optional<BitPicture> ReadPageBits(TiffHandle& handle, const PageLayout& page,
                                       const std::filesystem::path& path, int pageIndex);

// Most memory one band of decoded rows may take.
constexpr std::size_t kMaxBandBytes = std::size_t{256} << 20;

}  // namespace vellumark::imaging
