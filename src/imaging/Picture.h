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

// A bilevel page kept as bits: each row starts on a whole 64-bit word and holds `width` pixels,
// the first in the high bit of its first byte, a set bit for ink. The bits past `width` are clear,
// and so is a spare word after each row (readers that go a byte past the last pixel find paper).
struct BitPicture {
    int width = 0;
    int height = 0;
    std::size_t stride = 0;  // bytes from one row to the next
    std::vector<std::uint8_t> bits;

    BitPicture() = default;
    // All paper.
    BitPicture(int w, int h)
        : width(w),
          height(h),
          stride((static_cast<std::size_t>(w) + 63) / 64 * 8 + 8),
          bits(stride * static_cast<std::size_t>(h), 0) {}
    std::uint8_t* Row(int y) { return bits.data() + static_cast<std::size_t>(y) * stride; }
    const std::uint8_t* Row(int y) const {
        return bits.data() + static_cast<std::size_t>(y) * stride;
    }
};

// Puts a row of width packed bits (first pixel in the high bit) into row y of `picture`, ink
// where a bit is set when oneIsInk, where it is clear otherwise; the bits past width stay clear.
void SetBitsRow(BitPicture& picture, int y, const std::uint8_t* bits, bool oneIsInk);

// The picture's grey: a one-channel picture's own samples (moved, not copied), an RGB one's
// luma (integer Rec. 601).
GreyPicture ToGrey(Picture picture);

}  // namespace vellumark::imaging
