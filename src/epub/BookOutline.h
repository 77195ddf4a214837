#pragma once
// The book's own structure for its documents: the analysis of every page's words, and the
// table of contents a conversion puts in the book (found, written by the user, or the pages).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "epub/BookDocuments.h"
#include "epub/BookSink.h"
#include "imaging/PageSource.h"
#include "imaging/text/TextLayer.h"
#include "structure/BookStructure.h"
#include "structure/TocFile.h"

namespace vellumark::epub {

enum class TocKind {
    Chapters,  // the chapters found in the text (pages when none are found or there is no text)
    Pages,     // an entry per page
};

// "chapters" or "pages"; nothing for another name.
std::optional<TocKind> ParseTocKind(std::string_view name);

// What the book's contents says, besides the pages.
struct OutlineSettings {
    TocKind toc = TocKind::Chapters;
    // Entries the user wrote (see structure/TocFile.h); when some are given they win.
    std::vector<structure::TocFileEntry> tocFile;
    std::string tocFileName;  // for errors
};

// The structure of the pages' words, every page's words read (OCR where not yet known). Page
// sizes are the pages' own, which the words' boxes are given in.
structure::BookStructure AnalyseBookText(const imaging::PageSource& pages,
                                         const imaging::TextLayer& text);

// Fills the book's chapters and page labels from `found` (null when the book has no text) and
// the settings. Throws vellumark::Error (Usage) for a contents file entry that finds no page.
void DescribeOutline(const structure::BookStructure* found, const OutlineSettings& settings,
                     BookDescription& book);

// Marks the page break of every page with a printed label in its document, while the documents
// are still kept (a page already written keeps its document as it was).
void MarkPageBreaks(const BookDescription& book, OrderedFiles& files);

}  // namespace vellumark::epub
