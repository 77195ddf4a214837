#pragma once
// A CCITT fax-coded picture without a TIFF around it, as PDF files keep bilevel scans.

#include <cstdint>
#include <span>
#include <string>

#include "imaging/Picture.h"

namespace vellumark::imaging {

struct FaxCoding {
    int columns = 0;  // pixels per row
    int rows = 0;
    int k = 0;                 // < 0: Group 4; 0: Group 3, one-dimensional; > 0: Group 3, 2-D
    bool byteAligned = false;  // Group 3 rows start on a byte
    bool oneIsBlack = true;    // in the decoded rows (after any inversion the file asks for)
};

// The picture resampled to width x height, one grey channel. Thread-safe. Throws
// vellumark::Error: BadInput naming `name` for damaged data, Unsupported for Group 4 with byte
// alignment, TooLarge beyond kMaxPagePixels.
Picture DecodeFaxImage(std::span<const std::uint8_t> data, const FaxCoding& coding, int width,
                       int height, const std::string& name);

}  // namespace vellumark::imaging
