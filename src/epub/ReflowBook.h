#pragma once
// The documents of a reflowable (EPUB 3) book made from a scan's text: one XHTML document per
// chapter (split further so that none grows much past kMaxChapterBytes) holding headings,
// paragraphs, figures and page-break markers, the navigation document (contents by the
// headings, page list, landmarks), fb.ncx for older reading systems, the package document and a
// plain style sheet that leaves font, size and margins to the reader.

#include <string>
#include <utility>
#include <vector>

#include "epub/BookDocuments.h"
#include "structure/FlowText.h"

namespace vellumark::epub {

inline constexpr const char* kReflowStylesheetName = "reflow.css";
inline constexpr const char* kReflowNavigationName = "nav.xhtml";
inline constexpr const char* kReflowCoverFile = "cover.xhtml";
// A chapter document is split at the next paragraph once it is this large.
inline constexpr std::size_t kMaxChapterBytes = 280 * 1024;

// A picture of the book besides the cover, as the book stores it.
struct ReflowPicture {
    std::string name;  // in the content folder: "figure3-1.png"
    std::string mediaType;
    int width = 0;
    int height = 0;
};

struct ReflowBook {
    // Title, author, language, identity, the page labels and the cover picture's name (the
    // given cover, else the first page's picture). Chapters are taken from the flow's headings.
    BookDescription book;
    std::string coverMediaType = "image/jpeg";
    std::vector<structure::FlowItem> flow;
    std::vector<std::vector<ReflowPicture>> pictures;  // per page, as the flow's figures name them
};

// "chapter3.xhtml".
std::string ReflowChapterFile(int n);

// Every document of the book with its name in the content folder, in no particular order: the
// chapters, the cover page (when there is a cover), nav.xhtml, fb.ncx, fb.opf and the style sheet.
std::vector<std::pair<std::string, std::string>> ReflowDocumentFiles(const ReflowBook& book);

}  // namespace vellumark::epub
