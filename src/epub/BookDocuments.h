#pragma once
// The package document (fb.opf: metadata, manifest, spine) and the navigation document (fb.ncx:
// the table of contents) of a book whose pages are pictures.

#include <filesystem>
#include <string>
#include <vector>

#include "epub/BookFormat.h"
#include "epub/BookIdentity.h"
#include "epub/XmlDocument.h"

namespace vellumark::epub {

// A page's picture as page export wrote it.
struct BookPage {
    std::string pictureName;  // "3.jpg"
    std::string mediaType;    // "image/jpeg"
    int width = 0;            // pixels
    int height = 0;
    bool hasText = false;  // the page carries a text layer (EPUB 3 only)
};

// An entry of the book's own table of contents.
struct ChapterEntry {
    int page = 0;   // 0-based
    int level = 1;  // 1 for the top level
    std::string title;
};

// What the book's documents say about it. EPUB 2 pages are page1.html .. pageN.html showing
// 1.jpg .. N.jpg; the cover, when there is one, is cover.html showing `coverName`. EPUB 3 pages
// are page1.xhtml .. pageN.xhtml showing `pages`, the cover cover.xhtml.
struct BookDescription {
    std::string title;  // as typed (UTF-8)
    std::string author;
    std::string coverName;  // the cover picture's file name in the content folder; empty: none
    int pageCount = 0;      // negative counts are taken as 0
    std::string languageTag;
    BookIdentity identity;
    BookFormat format = BookFormat::Epub2;
    // EPUB 3 only: the pictures of the pages (pageCount of them) and of the cover.
    std::vector<BookPage> pages;
    int coverWidth = 0;
    int coverHeight = 0;
    // EPUB 3 only: the book's chapters, in page order; none: an entry per page.
    std::vector<ChapterEntry> chapters;
    // EPUB 3 only: the label printed on each page ("xii", "17"; "" for none); none found: the
    // page list numbers the scans.
    std::vector<std::string> pageLabels;
};

inline constexpr const char* kPackageDocumentName = "fb.opf";
inline constexpr const char* kNavigationDocumentName = "fb.ncx";

// An NCX document's root with its head, title and author; `pageCount` for its page counts (0
// for a book without a page list).
pugi::xml_node StartNcx(XmlDocument& xml, const BookDescription& book, int pageCount);

// The documents' text: fb.opf and fb.ncx.
std::string PackageDocumentText(const BookDescription& book);
std::string NavigationDocumentText(const BookDescription& book);

}  // namespace vellumark::epub
