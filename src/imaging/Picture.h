#pragma once
// Page pictures in memory: 8-bit RGB or 8-bit grey, rows top to bottom, no padding between rows.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vellumark::imaging {

// A page's picture keeps its kind: grey and bilevel pages have one channel from the reader to
// the encoder, colour pages three (RGB).
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> samples;  // width * height * channels bytes
    int channels = 3;                   // 3: RGB; 1: grey

    std::size_t RowBytes() const { return static_cast<std::size_t>(width) * channels; }
    std::uint8_t* Row(int y) { return samples.data() + static_cast<std::size_t>(y) * RowBytes(); }
    const std::uint8_t* Row(int y) const {
        return samples.data() + static_cast<std::size_t>(y) * RowBytes();
    }
};

struct GreyPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width * height bytes
};

// The picture's grey: a one-channel picture's own samples (moved, not copied), an RGB one's
// luma (integer Rec. 601).
GreyPicture ToGrey(Picture picture);

}  // namespace vellumark::imaging
