#pragma once
// The XHTML page that shows one picture: a page of the book or its cover.

#include <string>
#include <string_view>

namespace vellumark::epub {

// The page's text: twelve lines, each ending in CR LF, no byte-order mark. `label` ("page3",
// "cover") is the page's title and the picture's alt text; `pictureReference` is the picture's
// file name, escaped for XML. Both are UTF-8.
std::string ImagePageText(std::string_view pictureReference, std::string_view label,
                          std::string_view languageTag);

// The stylesheet the pages link: the picture fits the screen, no margins.
extern const char* const kStylesheetText;
inline constexpr const char* kStylesheetName = "stylesheet.css";

}  // namespace vellumark::epub
