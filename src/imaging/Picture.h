#pragma once
// Page pictures in memory: 8-bit RGB or 8-bit grey, rows top to bottom, no padding between rows.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vellumark::imaging {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // width * height * 3 bytes

    std::uint8_t* Row(int y) { return rgb.data() + static_cast<std::size_t>(y) * width * 3; }
    const std::uint8_t* Row(int y) const {
        return rgb.data() + static_cast<std::size_t>(y) * width * 3;
    }
};

struct GreyPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width * height bytes
};

// The picture's luma (integer Rec. 601): exact for grey and bilevel pages, whose R, G and B are
// equal.
GreyPicture ToGrey(const Picture& picture);

}  // namespace vellumark::imaging
