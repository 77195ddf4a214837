#pragma once
// Page pictures as JPEG: baseline, quality 90, three components.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "imaging/Picture.h"

namespace vellumark::imaging {

// Encodes the picture in memory: baseline (never progressive), three components (RGB as
// YCbCr, even for a grey page), libjpeg's default settings otherwise. Thread-safe: each call
// has its own encoder. Throws vellumark::Error: Internal for an empty or inconsistent picture,
// a quality outside 1 to 100 or an encoder failure; TooLarge beyond 65500 pixels a side.
std::vector<std::uint8_t> EncodeJpeg(const Picture& picture, int quality = 90);

}  // namespace vellumark::imaging
