#pragma once
// A CCITT fax-coded picture without a TIFF around it, as PDF files keep bilevel scans.

#include <cstdint>
#include <span>
#include <string>

#include "imaging/Picture.h"
#include "imaging/pages/FaxCoding.h"

namespace vellumark::imaging {

// The picture resampled to width x height, one grey channel. Thread-safe. Throws
// vellumark::Error: BadInput naming `name` for damaged data, Unsupported for Group 4 with byte
// alignment, TooLarge beyond kMaxPagePixels.
Picture DecodeFaxImage(std::span<const std::uint8_t> data, const FaxCoding& coding, int width,
                       int height, const std::string& name);
// The picture at its own pixels as bits, ink set. Thread-safe. Throws as DecodeFaxImage does.
BitPicture DecodeFaxBits(std::span<const std::uint8_t> data, const FaxCoding& coding,
                         const std::string& name);

}  // namespace vellumark::imaging
