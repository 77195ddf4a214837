#include "viewer/PictureImage.h"

#include <memory>
#include <vector>

namespace vellumark::viewer {

QImage ToQImage(imaging::Picture&& picture) {
    const int channels = picture.channels;
    const auto expected = static_cast<std::size_t>(picture.width) * picture.height * channels;
    if (picture.width <= 0 || picture.height <= 0 || (channels != 1 && channels != 3) ||
        picture.samples.size() < expected) {
        return {};
    }
    auto pixels = std::make_unique<std::vector<std::uint8_t>>(std::move(picture.samples));
    uchar* data = pixels->data();
    QImage image(
        data, picture.width, picture.height, static_cast<qsizetype>(picture.width) * channels,
        channels == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888,
        [](void* info) { delete static_cast<std::vector<std::uint8_t>*>(info); }, pixels.get());
    pixels.release();  // the image's cleanup function frees it now
    return image;
}

}  // namespace vellumark::viewer
