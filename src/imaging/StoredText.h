#pragma once
// The OCR text an MDI page keeps in its own tag, made readable. Its layout is not documented,
// so only what is plainly text is kept: UTF-16 or 8-bit text is decoded, control bytes and
// other binary runs become single spaces.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vellumark::imaging {

constexpr std::uint32_t kStoredTextTag = 37679;

// bytes holds the tag's data; sixteenBitUnits when the tag is an array of 16-bit values (in
// native order). Returns UTF-8 without leading or trailing space. Throws nothing but
// std::bad_alloc.
std::string DecodeStoredText(const std::uint8_t* bytes, std::size_t size, bool sixteenBitUnits);

}  // namespace vellumark::imaging
