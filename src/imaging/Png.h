#pragma once
// Page pictures as PNG: grey, in as few levels as a page of text needs.

#include <cstdint>
#include <vector>

#include "imaging/Picture.h"

namespace vellumark::imaging {

// Encodes the picture as a greyscale PNG of `levels` grey levels (2, 4, 16 or 256: bit depths 1,
// 2, 4 and 8), each pixel rounded to the nearest level, black and white kept exact. Not
// interlaced; libpng's default filters and compression. Thread-safe: each call has its own
// encoder. Throws vellumark::Error: Internal for an empty or inconsistent picture, another
// level count or an encoder failure.
std::vector<std::uint8_t> EncodeGreyPng(const GreyPicture& picture, int levels);

}  // namespace vellumark::imaging
