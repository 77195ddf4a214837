#pragma once
// The book's printed contents page: its entries (title, level by indent or numbering, printed
// page label) and where each opens in the scan, found through the pages' printed labels.

#include <string>
#include <vector>

#include "structure/BookStructure.h"
#include "structure/PageLines.h"

namespace vellumark::structure {

struct ContentsEntry {
    std::string title;
    std::string label;  // as a label is written: "17", "xii"
    int level = 1;
};

// The entries of the contents pages (those whose lines mostly end in a page number), and the
// pages they were read from.
std::vector<ContentsEntry> ReadContents(const std::vector<PageLines>& pages,
                                        const std::vector<std::vector<bool>>& marked, int bodySize,
                                        std::vector<int>& contentsPages);

// The entries placed at the page that carries their label; a heading found with a like title on
// that page or next to it moves the entry there (a misread folio). Entries that find no page
// are dropped. Headings found after the contents (`contentsEnd`, a page) on pages no entry
// names, of a level whose headings were matched to entries, fill lines OCR lost. `found` is in
// page order.
std::vector<Heading> PlaceContents(const std::vector<ContentsEntry>& entries,
                                   const std::vector<std::string>& labels,
                                   const std::vector<Heading>& found, int contentsEnd);

}  // namespace vellumark::structure
