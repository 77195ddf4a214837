#pragma once
// UTF-8 decoding and encoding, for names, titles and text that come from files, users and OCR.

#include <cstddef>
#include <string>
#include <string_view>

namespace vellumark {

struct Utf8Char {
    char32_t value = 0;
    std::size_t length = 1;  // bytes taken; 1 for a byte that starts no valid sequence
    bool valid = false;
};

// The character starting at text[at] (at < text.size()). Strict: overlong forms, surrogates,
// values above U+10FFFF and cut-short sequences are not valid, and then take one byte.
Utf8Char DecodeUtf8(std::string_view text, std::size_t at);

// The number of characters (as DecodeUtf8 steps through them).
std::size_t CharacterCount(std::string_view text);

// True when the whole text is valid UTF-8.
bool IsValidUtf8(std::string_view text);

// Appends a code point (not a surrogate, at most U+10FFFF) as UTF-8.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace vellumark
