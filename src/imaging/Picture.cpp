#include "imaging/Picture.h"

namespace vellumark::imaging {

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
