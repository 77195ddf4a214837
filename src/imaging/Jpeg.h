#pragma once
// Page pictures as JPEG: baseline, quality 90 unless asked otherwise; three components for a
// colour picture, one for a grey one.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "imaging/Picture.h"

namespace vellumark::imaging {

// Encodes the picture in memory: baseline (never progressive), three components (RGB as
// YCbCr, even for a grey page), libjpeg's default settings otherwise. Thread-safe: each call
// has its own encoder. Throws vellumark::Error: Internal for an empty or inconsistent picture,
// a quality outside 1 to 100 or an encoder failure; TooLarge beyond 65500 pixels a side.
std::vector<std::uint8_t> EncodeJpeg(const Picture& picture, int quality = 90);
// The same for a grey picture, with one component: a third of the data of a colour one.
std::vector<std::uint8_t> EncodeGreyJpeg(const GreyPicture& picture, int quality = 90);

// Width and height of a JPEG from its frame header, or none when the bytes are not a JPEG whose
// frame header can be found. Reads nothing beyond the bytes given.
std::optional<std::pair<int, int>> JpegSize(std::span<const std::uint8_t> bytes);

}  // namespace vellumark::imaging
