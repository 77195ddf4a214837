#pragma once
// A page stored as a picture file (JPEG or PNG), as cameras, phones and comic archives hold
// them: its header read without decoding, and its pixels decoded straight into a resampler.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "imaging/PageSource.h"
#include "imaging/Picture.h"

namespace vellumark::imaging {

enum class ImageCodec { Jpeg, Png };

struct ImageHeader {
    ImageCodec codec = ImageCodec::Jpeg;
    int width = 0;
    int height = 0;
    PageKind kind = PageKind::Colour;
    double dpi = 0;        // pixels per inch the file gives down the stored pixels; 0 when none
                           // (or none a page can have)
    double dpiAcross = 0;  // and across them (a fax's are not square)
    int orientation = 1;   // how the stored pixels are to be shown: Exif's (and TIFF's) 1 to 8
    std::string layout;    // as `vellumark info` names it, e.g. "RGB 8-bit"
};

// The header of a JPEG or PNG from the file's first bytes (the whole file or the first
// kImageHeadBytes of it), or none when the bytes are neither. Throws vellumark::Error
// (Unsupported) for a kind it cannot decode, such as a CMYK JPEG; name is used in the message.
std::optional<ImageHeader> ReadImageHeader(std::span<const std::uint8_t> head,
                                           const std::string& name);
// Enough of a file's start for ReadImageHeader: past a camera's Exif block.
constexpr std::size_t kImageHeadBytes = 256 * 1024;

// The image as stored (not turned by its orientation) resampled to width x height: one channel for
// a grey or bilevel image, three otherwise; transparency is laid over white paper. JPEGs are shrunk
// as they are decoded when the size asked is half theirs or less. Thread-safe. Throws
// vellumark::Error: BadInput naming `name` for damaged data, TooLarge beyond kMaxPagePixels.
Picture DecodeImage(std::span<const std::uint8_t> bytes, const ImageHeader& header, int width,
                    int height, const std::string& name);

// A bilevel PNG's pixels at its own size as bits, ink set, as stored (not turned by its
// orientation); none for any other image, or one of more than kMaxPicturePixels. Thread-safe.
// Throws as DecodeImage does.
std::optional<BitPicture> DecodeImageBits(std::span<const std::uint8_t> bytes,
                                          const ImageHeader& header, const std::string& name);

}  // namespace vellumark::imaging
