#pragma once
// The package document (fb.opf: metadata, manifest, spine) and the navigation document (fb.ncx:
// the table of contents) of a book whose pages are pictures.

#include <filesystem>
#include <string>

#include "epub/BookIdentity.h"

namespace vellumark::epub {

// What both documents say about the book. Pages are page1.html .. pageN.html showing
// 1.jpg .. N.jpg; the cover, when there is one, is cover.html showing `coverName`.
struct BookDescription {
    std::string title;  // as typed (UTF-8)
    std::string author;
    std::string coverName;  // the cover picture's file name in the content folder; empty: none
    int pageCount = 0;      // negative counts are taken as 0
    std::string languageTag;
    BookIdentity identity;
};

inline constexpr const char* kPackageDocumentName = "fb.opf";
inline constexpr const char* kNavigationDocumentName = "fb.ncx";

// The documents' text as WritePackageDocument / WriteNavigationDocument save it.
std::string PackageDocumentText(const BookDescription& book);
std::string NavigationDocumentText(const BookDescription& book);

// Write contentFolder / "fb.opf" and contentFolder / "fb.ncx", replacing what is there. Throw
// vellumark::Error (Io) when the file cannot be written.
void WritePackageDocument(const BookDescription& book, const std::filesystem::path& contentFolder);
void WriteNavigationDocument(const BookDescription& book,
                             const std::filesystem::path& contentFolder);

}  // namespace vellumark::epub
