#include "imaging/Picture.h"

#include <cstring>

namespace vellumark::imaging {

void SetBitsRow(BitPicture& picture, int y, const std::uint8_t* bits, bool oneIsInk) {
    const std::size_t bytes = (static_cast<std::size_t>(picture.width) + 7) / 8;
    std::uint8_t* to = picture.Row(y);
    std::memcpy(to, bits, bytes);
    if (!oneIsInk) {
        for (std::size_t i = 0; i < bytes; ++i)
            to[i] = static_cast<std::uint8_t>(~to[i]);
    }
    if (const int spare = picture.width % 8; spare != 0)
        to[bytes - 1] &= static_cast<std::uint8_t>(0xFF00 >> spare);
}

GreyPicture ToGrey(Picture picture) {
    GreyPicture grey{picture.width, picture.height, {}};
    if (picture.channels == 1) {
        grey.pixels = std::move(picture.samples);
        return grey;
    }
    grey.pixels.resize(static_cast<std::size_t>(picture.width) * picture.height);
    const std::uint8_t* rgb = picture.samples.data();
    for (std::uint8_t& pixel : grey.pixels) {
        pixel =
            static_cast<std::uint8_t>((rgb[0] * 299 + rgb[1] * 587 + rgb[2] * 114 + 500) / 1000);
        rgb += 3;
    }
    return grey;
}

}  // namespace vellumark::imaging
