#pragma once
// The documents of a fixed-layout (EPUB 3) book besides its pages: the package document fb.opf
// (version 3.0, pre-paginated, with accessibility metadata that is true of the book made), the
// navigation document nav.xhtml (table of contents, page list, landmarks), fb.ncx for older
// reading systems, the stylesheet and, when some page has text, the blank font.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "epub/BookDocuments.h"

namespace vellumark::epub {

inline constexpr const char* kFixedStylesheetName = "fixed-layout.css";
inline constexpr const char* kFixedNavigationName = "nav.xhtml";

// "page3.xhtml", "cover.xhtml".
std::string FixedPageFile(int n);
inline constexpr const char* kFixedCoverFile = "cover.xhtml";

// True when some page of the book carries a text layer.
bool HasTextLayer(const BookDescription& book);

std::string FixedPackageDocumentText(const BookDescription& book);
std::string FixedNavigationDocumentText(const BookDescription& book);
std::string FixedNcxText(const BookDescription& book);
// The stylesheet the pages link; `withFont` declares the blank font (only when it is packed).
std::string FixedStylesheetText(bool withFont);

// fb.opf, nav.xhtml, fb.ncx, the stylesheet and, for a book with text, the font: each file's
// name in the content folder and its bytes.
std::vector<std::pair<std::string, std::string>> FixedLayoutDocumentFiles(
    const BookDescription& book);

}  // namespace vellumark::epub
