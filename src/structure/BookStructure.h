#pragma once
// A book's own structure, found in the words of all its pages: the label printed on each page,
// the running heads and folios, and the headings that make its table of contents (from the
// printed contents page when the book has one). Only the text and a box per line are kept, so
// memory grows with the text, and the work is a few passes over it.

#include <string>
#include <vector>

#include "imaging/text/TextLayer.h"
#include "structure/PageLines.h"

namespace vellumark::structure {

struct Heading {
    int page = 0;   // 0-based scan page the heading opens
    int level = 1;  // 1 for the top level
    std::string title;
    // The lines of the page the heading is printed on (indices into its PageLines); -1 when it
    // was placed from the contents page rather than found on its page.
    int firstLine = -1, lastLine = -1;
};

struct RunningHead {
    int page = 0;
    std::string text;  // a running head, a folio, or both on one line
};

enum class TocSource {
    None,      // nothing found: a book keeps its page entries
    Contents,  // the book's printed contents page, placed through the page labels
    Headings,  // headings found on the pages
};

struct BookStructure {
    int pageCount = 0;
    std::vector<std::string> labels;  // per page: the printed label ("xii", "17"), "" for none
    std::vector<Heading> headings;    // the table of contents, in page order
    std::vector<RunningHead> runningHeads;
    // Per page, per line (of PageLines): set for running heads and folios, which are no content.
    std::vector<std::vector<bool>> marginLines;
    // The headings as printed on the pages, with their lines, whatever the contents says.
    std::vector<Heading> pageHeadings;
    std::vector<int> contentsPages;  // the pages the printed contents was read from
    TocSource source = TocSource::None;
};

// Takes the pages one by one, in order, keeping only their lines.
class BookAnalyser {
public:
    // `width` and `height` are the page's size in the words' pixels.
    void AddPage(const std::vector<imaging::Word>& words, int width, int height);
    int PageCount() const { return static_cast<int>(pages_.size()); }
    const std::vector<PageLines>& Pages() const { return pages_; }
    BookStructure Finish() const;

private:
    std::vector<PageLines> pages_;
};

}  // namespace vellumark::structure
