#pragma once
// Page pictures as JPEG: baseline, quality 90, three components.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "imaging/Picture.h"

namespace vellumark::imaging {

// Encodes the picture. Throws vellumark::Error on an empty picture or an encoder failure.
std::vector<std::uint8_t> EncodeJpeg(const Picture& picture, int quality = 90);

}  // namespace vellumark::imaging
