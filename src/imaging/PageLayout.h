#pragma once
// How one page (one TIFF directory) stores its pixels, read once when the document opens.

#include <tiffio.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/PageSource.h"

namespace vellumark::imaging {

struct PageLayout {
    std::uint64_t directoryOffset = 0;
    std::uint32_t width = 0, height = 0;
    std::uint16_t bitsPerSample = 1, samplesPerPixel = 1, sampleFormat = SAMPLEFORMAT_UINT;
    std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    std::uint16_t inkSet = INKSET_CMYK;
    std::vector<std::uint16_t> extraSamples;
    bool tiled = false;
    // Pixels per inch; 0 when the page gives none (or no absolute unit, or one no page can have).
    double xDpi = 0, yDpi = 0;

    bool Transposed() const { return orientation >= 5 && orientation <= 8; }
};

// Reads the current directory's tags. Throws nothing: odd values are kept for the reader to
// refuse with a reason.
PageLayout ReadPageLayout(TIFF* tif);

// e.g. "bilevel", "grey 8-bit", "palette 4-bit", "RGB 8-bit", "CMYK 8-bit", with ", alpha",
// ", planar", ", tiled" as they apply.
std::string LayoutName(const PageLayout& page);
// Bilevel for one-bit grey pages, Grey for other grey pages, Colour for everything else.
PageKind KindOf(const PageLayout& page);

// e.g. "none", "CCITT G4", "LZW", "Deflate", "JPEG", "MDI codec 34718".
std::string CodecName(std::uint16_t compression);
// MODI's own codecs, which nothing but MODI reads.
bool IsMdiCodec(std::uint16_t compression);

// Size of the page picture along one axis: the length in inches at 96 pixels per inch, the
// pixel count itself when there is no resolution. At least 1.
std::int64_t PictureLength(std::uint32_t pixels, double dpi);

}  // namespace vellumark::imaging
